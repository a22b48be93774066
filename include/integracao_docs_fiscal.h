/*
 * integracao_docs_fiscal.h - the public interface of Integracao_Docs_Fiscal.
 *
 * Each classic call imports one authorised NF-e or CT-e and writes its content
 * as the exchange file "Integracao_Docs_Fiscal.ini" in the folder of the host
 * program's executable (the process's main module). The file is CP1252 with
 * CR LF line ends; it is present after a completed import and absent after an
 * import that did not complete. Each import of either type replaces it. The
 * idf_* calls further down do the same for hosts without a desktop, at a path
 * of the caller's choosing.
 *
 * Arguments:
 *   chave_acesso      the document's 44-digit access key. The folder
 *                     pasta_temporaria is searched for the authorised
 *                     document whose protocol carries it. Empty: the user
 *                     picks the file in the open-file dialog (Windows; on
 *                     Linux an empty key ends the call as a cancelled dialog).
 *   pasta_temporaria  the folder of downloaded XML files.
 *   modo_silencioso   "Sim" hides the not-found message and the end-of-run
 *                     problem report; any other text shows them.
 * Texts are NUL-terminated, in the ANSI code page on Windows and UTF-8 on
 * Linux; a null pointer is the empty text. The library only reads them.
 *
 * Threads: call from a thread that can show modal windows (Windows). Calls
 * are serialised inside the library. Nothing is thrown or raised into the
 * caller.
 */
#ifndef INTEGRACAO_DOCS_FISCAL_H
#define INTEGRACAO_DOCS_FISCAL_H

#if defined(_WIN32)
#define IDF_CALL __stdcall
#if defined(IDF_BUILDING_LIBRARY)
#define IDF_API __declspec(dllexport)
#else
#define IDF_API __declspec(dllimport)
#endif
#else
#define IDF_CALL
#if defined(IDF_BUILDING_LIBRARY)
#define IDF_API __attribute__((visibility("default")))
#else
#define IDF_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Imports the NF-e whose access key is chave_acesso. */
IDF_API void IDF_CALL importa_arquivo_xml_nfe(const char *chave_acesso, const char *pasta_temporaria,
                                              const char *modo_silencioso);

/* Imports the CT-e whose access key is chave_acesso. */
IDF_API void IDF_CALL importa_arquivo_xml_cte(const char *chave_acesso, const char *pasta_temporaria,
                                              const char *modo_silencioso);

/*
 * The calls for hosts without a desktop or without a folder of their own
 * (services, web back-ends, terminal servers). They import exactly as the
 * calls above do, but show no window of any kind, never change the
 * process's current folder (not even during the call), and write the
 * exchange file to the path arquivo_saida (atomically, as above; an old
 * file at that path is deleted when the import does not complete); nothing
 * is written beside the executable.
 *
 *   chave_acesso      not blank: pasta_temporaria is searched for it, as
 *                     above. Blank: arquivo_xml is imported as if the user
 *                     had chosen it in the open-file dialog.
 *   arquivo_saida     the exchange file's path; a relative path is taken
 *                     from the current folder at the time of the call (on
 *                     Linux ".." after a link as the system resolves it).
 *                     Only a plain file or a link there is ever removed or
 *                     replaced; a device (/dev/null, NUL), FIFO or folder
 *                     there is the creation failure (1), left untouched.
 *
 * Texts as above (ANSI on Windows, UTF-8 on Linux; null is the empty text).
 * The messages the calls above would show in boxes, the not-found message
 * and the problem report included, go to the result (idf_ultimo_resultado).
 * Returns 0 when the exchange file was completed, 1 when it was not (a file
 * at arquivo_saida, if any, is not this import's: an old one that could not
 * be removed stays, and the result's messages say so), 2 when arquivo_saida
 * is blank, both chave_acesso and arquivo_xml are blank, or arquivo_saida
 * is (by identity, however spelt) arquivo_xml or a file the search of
 * pasta_temporaria lists: then nothing is touched and the thread has no
 * last result. Serialised with the calls above; on Linux a process forked
 * meanwhile can call the library (fork waits for the running call).
 */
IDF_API int IDF_CALL idf_importa_cte(const char *chave_acesso, const char *pasta_temporaria, const char *arquivo_xml,
                                     const char *arquivo_saida);

/* The same for an NF-e. */
IDF_API int IDF_CALL idf_importa_nfe(const char *chave_acesso, const char *pasta_temporaria, const char *arquivo_xml,
                                     const char *arquivo_saida);

/*
 * Copies the result of the calling thread's last idf_importa_* call: one
 * JSON object, UTF-8, NUL-terminated:
 *   {"resultado": "concluida"|"abortada", "arquivo": PATH|null,
 *    "mensagens": [...], "problemas": "...", "protocolo": {...}|null}
 * the same object that the command-line tool prints with --json for that
 * import (without --silencioso). *tamanho is, on entry, the size of buffer
 * in bytes and, on return, the size the whole object needs, NUL included.
 * Returns 0 when it was copied, 1 when buffer is null or too small (buffer
 * is then left empty when it has room for the NUL) or tamanho is null, 2
 * when this thread has no result (*tamanho 0, buffer left empty).
 */
IDF_API int IDF_CALL idf_ultimo_resultado(char *buffer, int *tamanho);

#ifdef __cplusplus
}
#endif

#endif /* INTEGRACAO_DOCS_FISCAL_H */
