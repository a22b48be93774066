/*
 * integracao_docs_fiscal.h - the public interface of Integracao_Docs_Fiscal.
 *
 * Each call imports one authorised NF-e or CT-e and writes its content as the
 * exchange file "Integracao_Docs_Fiscal.ini" in the folder of the host
 * program's executable (the process's main module). The file is CP1252 with
 * CR LF line ends; it is present after a completed import and absent after an
 * import that did not complete. Each import of either type replaces it.
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

#ifdef __cplusplus
}
#endif

#endif /* INTEGRACAO_DOCS_FISCAL_H */
