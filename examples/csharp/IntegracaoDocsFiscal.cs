// P/Invoke declarations of Integracao_Docs_Fiscal and reading of its exchange
// file.
//
// Platform target: the DLL must match the process. An x86 process (Platform
// target x86, or AnyCPU with "Prefer 32-bit") loads the 32-bit
// Integracao_Docs_Fiscal.dll; an x64 process (x64, or AnyCPU on 64-bit
// Windows) loads the 64-bit one. The wrong one fails with
// BadImageFormatException. On Linux (Mono), Importa.exe.config maps the name
// to libintegracao_docs_fiscal.so.1.
using System.Diagnostics;
using System.IO;
using System.Runtime.InteropServices;
using System.Text;

public static class IntegracaoDocsFiscal
{
    const string Library = "Integracao_Docs_Fiscal.dll";

    // stdcall, ANSI strings (the system's ANSI code page; UTF-8 on Linux),
    // the exact exported names.
    [DllImport(Library, EntryPoint = "importa_arquivo_xml_nfe", CallingConvention = CallingConvention.StdCall,
               CharSet = CharSet.Ansi, ExactSpelling = true)]
    public static extern void importa_arquivo_xml_nfe(string chave_acesso, string pasta_temporaria,
                                                      string modo_silencioso);

    [DllImport(Library, EntryPoint = "importa_arquivo_xml_cte", CallingConvention = CallingConvention.StdCall,
               CharSet = CharSet.Ansi, ExactSpelling = true)]
    public static extern void importa_arquivo_xml_cte(string chave_acesso, string pasta_temporaria,
                                                      string modo_silencioso);

    // The calls for hosts without a desktop: no window, the current folder
    // left alone, the exchange file at arquivo_saida. They return 0
    // (completed), 1 (not completed) or 2 (invalid arguments).
    [DllImport(Library, EntryPoint = "idf_importa_nfe", CallingConvention = CallingConvention.StdCall,
               CharSet = CharSet.Ansi, ExactSpelling = true)]
    public static extern int idf_importa_nfe(string chave_acesso, string pasta_temporaria, string arquivo_xml,
                                             string arquivo_saida);

    [DllImport(Library, EntryPoint = "idf_importa_cte", CallingConvention = CallingConvention.StdCall,
               CharSet = CharSet.Ansi, ExactSpelling = true)]
    public static extern int idf_importa_cte(string chave_acesso, string pasta_temporaria, string arquivo_xml,
                                             string arquivo_saida);

    [DllImport(Library, EntryPoint = "idf_ultimo_resultado", CallingConvention = CallingConvention.StdCall,
               ExactSpelling = true)]
    static extern int idf_ultimo_resultado(byte[] buffer, ref int tamanho);

    // The calling thread's last result: a JSON object (UTF-8), or null when
    // the thread has none.
    public static string UltimoResultado()
    {
        int size = 0;
        if (idf_ultimo_resultado(null, ref size) != 1) return null;
        byte[] buffer = new byte[size];
        if (idf_ultimo_resultado(buffer, ref size) != 0) return null;
        return Encoding.UTF8.GetString(buffer, 0, size - 1);
    }

    // The exchange file is written in the folder of the process's executable
    // (the .exe of a .NET Framework program; dotnet.exe or the apphost under
    // .NET; the mono binary under Mono).
    public static string ExchangeFilePath()
    {
        string executable = Process.GetCurrentProcess().MainModule.FileName;
        return Path.Combine(Path.GetDirectoryName(executable), "Integracao_Docs_Fiscal.ini");
    }

    // The file is CP1252 with CR LF line ends. On .NET Core and .NET 5 or
    // later, register the code pages first (package System.Text.Encoding.CodePages):
    //   Encoding.RegisterProvider(CodePagesEncodingProvider.Instance);
    public static string[] ReadExchangeFile(string path)
    {
        return File.ReadAllLines(path, Encoding.GetEncoding(1252));
    }
}
