"""Imports one NF-e or CT-e through Integracao_Docs_Fiscal with ctypes and
prints the exchange file.

    python importa.py nfe|cte CHAVE PASTA [MODO_SILENCIOSO]

Windows: a 32-bit Python loads the 32-bit Integracao_Docs_Fiscal.dll, a 64-bit
Python the 64-bit one (from the DLL search path: the folder of python.exe,
PATH, or os.add_dll_directory). Linux: libintegracao_docs_fiscal.so.1 from the
loader's path (LD_LIBRARY_PATH, ldconfig).
"""
import ctypes
import os
import sys

EXCHANGE_FILE = "Integracao_Docs_Fiscal.ini"


def load_library():
    if sys.platform == "win32":
        # WinDLL: the functions are stdcall (the callee removes the arguments).
        library = ctypes.WinDLL("Integracao_Docs_Fiscal.dll")
    else:
        library = ctypes.CDLL("libintegracao_docs_fiscal.so.1")
    for name in ("importa_arquivo_xml_nfe", "importa_arquivo_xml_cte"):
        function = getattr(library, name)
        function.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_char_p]
        function.restype = None
    return library


def encode(text):
    # The DLL takes the system's ANSI code page; the Linux library UTF-8.
    return text.encode("mbcs" if sys.platform == "win32" else "utf-8")


def host_executable():
    # The exchange file goes beside the process's executable: the Python
    # interpreter itself (under a Windows venv, the base interpreter the venv
    # launcher starts).
    if sys.platform == "win32":
        buffer = ctypes.create_unicode_buffer(32768)
        ctypes.windll.kernel32.GetModuleFileNameW(None, buffer, len(buffer))
        return buffer.value
    return os.readlink("/proc/self/exe")


def main(argv):
    if len(argv) not in (4, 5) or argv[1] not in ("nfe", "cte"):
        print("usage: importa.py nfe|cte CHAVE PASTA [MODO_SILENCIOSO]", file=sys.stderr)
        return 2
    library = load_library()
    importa = library.importa_arquivo_xml_nfe if argv[1] == "nfe" else library.importa_arquivo_xml_cte
    modo = argv[4] if len(argv) == 5 else ""
    importa(encode(argv[2]), encode(argv[3]), encode(modo))

    path = os.path.join(os.path.dirname(host_executable()), EXCHANGE_FILE)
    if not os.path.isfile(path):
        print("no exchange file: the import did not complete")
        return 1
    print("exchange file:", path)
    # CP1252 with CR LF line ends.
    with open(path, encoding="cp1252", newline="\r\n") as exchange:
        for line in exchange:
            print(line.rstrip("\r\n"))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
