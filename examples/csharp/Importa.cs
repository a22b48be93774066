// Imports one NF-e or CT-e and prints the exchange file.
//   Importa.exe nfe|cte CHAVE PASTA [MODO_SILENCIOSO]
using System;
using System.IO;

public static class Importa
{
    public static int Main(string[] args)
    {
        if (args.Length < 3 || args.Length > 4 || (args[0] != "nfe" && args[0] != "cte"))
        {
            Console.Error.WriteLine("usage: Importa.exe nfe|cte CHAVE PASTA [MODO_SILENCIOSO]");
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
}
