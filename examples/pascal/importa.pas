{ Imports one NF-e or CT-e and says whether the exchange file is there.
    importa nfe|cte CHAVE PASTA [MODO_SILENCIOSO] }
program importa;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}

uses
  SysUtils, Math, integracao_docs_fiscal;

var
  tipo, chave, pasta, modo, arquivo: AnsiString;
begin
  tipo := ParamStr(1);
  if (ParamCount < 3) or (ParamCount > 4) or ((tipo <> 'nfe') and (tipo <> 'cte')) then
  begin
    WriteLn(ErrOutput, 'usage: importa nfe|cte CHAVE PASTA [MODO_SILENCIOSO]');
    Halt(2);
  end;
  chave := ParamStr(2);
  pasta := ParamStr(3);
  modo := '';
  if ParamCount = 4 then
    modo := ParamStr(4);

  { Delphi and Free Pascal programs run with floating-point exceptions
    unmasked; C and C++ code (the library, the system's XML parser) expects
    them masked, as every C program has them. Mask them around the call. }
  SetExceptionMask([exInvalidOp, exDenormalized, exZeroDivide, exOverflow, exUnderflow, exPrecision]);
  if tipo = 'nfe' then
    importa_arquivo_xml_nfe(chave, pasta, modo)
  else
    importa_arquivo_xml_cte(chave, pasta, modo);

  { Written in the folder of the program's executable. }
  arquivo := ExtractFilePath(ParamStr(0)) + IDF_EXCHANGE_FILE;
  if not FileExists(arquivo) then
  begin
    WriteLn('no exchange file: the import did not complete');
    Halt(1);
  end;
  WriteLn('exchange file: ', arquivo);
end.
