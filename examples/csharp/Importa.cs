// Imports one NF-e or CT-e and prints the exchange file.
//   Importa.exe nfe|cte CHAVE PASTA [MODO_SILENCIOSO]
//   Importa.exe --saida ARQUIVO nfe|cte CHAVE PASTA
// The second form uses the call for hosts without a desktop: the exchange
// file goes to ARQUIVO and the result object is printed first.
using System;
using System.IO;

public static class Importa
{
    public static int Main(string[] args)
    {
        if (args.Length == 5 && args[0] == "--saida" && (args[2] == "nfe" || args[2] == "cte"))
            return Headless(args[1], args[2], args[3], args[4]);
        if (args.Length < 3 || args.Length > 4 || (args[0] != "nfe" && args[0] != "cte"))
        {
            Console.Error.WriteLine("usage: Importa.exe [--saida ARQUIVO] nfe|cte CHAVE PASTA [MODO_SILENCIOSO]");
            return 2;
        }
        string modo = args.Length == 4 ? args[3] : "";
        if (args[0] == "nfe")
            IntegracaoDocsFiscal.importa_arquivo_xml_nfe(args[1], args[2], modo);
        else
            IntegracaoDocsFiscal.importa_arquivo_xml_cte(args[1], args[2], modo);

        string path = IntegracaoDocsFiscal.ExchangeFilePath();
        if (!File.Exists(path))
        {
            Console.WriteLine("no exchange file: the import did not complete");
            return 1;
        }
        Console.WriteLine("exchange file: " + path);
        foreach (string line in IntegracaoDocsFiscal.ReadExchangeFile(path))
            Console.WriteLine(line);
        return 0;
    }

    static int Headless(string saida, string tipo, string chave, string pasta)
    {
        int code = tipo == "nfe" ? IntegracaoDocsFiscal.idf_importa_nfe(chave, pasta, null, saida)
                                 : IntegracaoDocsFiscal.idf_importa_cte(chave, pasta, null, saida);
        Console.WriteLine("idf_importa_" + tipo + ": " + code);
        Console.WriteLine(IntegracaoDocsFiscal.UltimoResultado());
        if (code != 0) return code;
        Console.WriteLine("exchange file: " + saida);
        foreach (string line in IntegracaoDocsFiscal.ReadExchangeFile(saida))
            Console.WriteLine(line);
        return 0;
    }
}
