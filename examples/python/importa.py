"""Imports one NF-e or CT-e through Integracao_Docs_Fiscal with ctypes and
prints the exchange file.

    python importa.py nfe|cte CHAVE PASTA [MODO_SILENCIOSO]
    python importa.py --saida ARQUIVO nfe|cte CHAVE PASTA

The second form uses the call for hosts without a desktop (a service, a web
back-end): no window, the current folder left alone, the exchange file at
ARQUIVO, and the result object printed first.

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
    for name in ("idf_importa_nfe", "idf_importa_cte"):
        function = getattr(library, name)
        function.argtypes = [ctypes.c_char_p] * 4
        function.restype = ctypes.c_int
    library.idf_ultimo_resultado.argtypes = [ctypes.c_char_p, ctypes.POINTER(ctypes.c_int)]
    library.idf_ultimo_resultado.restype = ctypes.c_int
    return library


def ultimo_resultado(library):
    """The calling thread's last result (a JSON text), or None."""
    size = ctypes.c_int(0)
    if library.idf_ultimo_resultado(None, ctypes.byref(size)) != 1:
        return None
    buffer = ctypes.create_string_buffer(size.value)
    if library.idf_ultimo_resultado(buffer, ctypes.byref(size)) != 0:
        return None
    return buffer.value.decode("utf-8")


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


def print_exchange_file(path):
    print("exchange file:", path)
    # CP1252 with CR LF line ends.
    with open(path, encoding="cp1252", newline="\r\n") as exchange:
        for line in exchange:
            print(line.rstrip("\r\n"))


def headless(argv):
    saida, tipo, chave, pasta = argv[2:6]
    library = load_library()
    importa = library.idf_importa_nfe if tipo == "nfe" else library.idf_importa_cte
    code = importa(encode(chave), encode(pasta), None, encode(saida))
    print("idf_importa_%s: %d" % (tipo, code))
    print(ultimo_resultado(library))
    if code == 0:
        print_exchange_file(saida)
    return code


def main(argv):
    if len(argv) == 6 and argv[1] == "--saida" and argv[3] in ("nfe", "cte"):
        return headless(argv)
    if len(argv) not in (4, 5) or argv[1] not in ("nfe", "cte"):
        print("usage: importa.py [--saida ARQUIVO] nfe|cte CHAVE PASTA [MODO_SILENCIOSO]", file=sys.stderr)
        return 2
    library = load_library()
    importa = library.importa_arquivo_xml_nfe if argv[1] == "nfe" else library.importa_arquivo_xml_cte
    modo = argv[4] if len(argv) == 5 else ""
    importa(encode(argv[2]), encode(argv[3]), encode(modo))

    path = os.path.join(os.path.dirname(host_executable()), EXCHANGE_FILE)
    if not os.path.isfile(path):
        print("no exchange file: the import did not complete")
        return 1
    print_exchange_file(path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
