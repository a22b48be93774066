{ The functions of Integracao_Docs_Fiscal for Delphi and Free Pascal.

  Windows: Integracao_Docs_Fiscal.dll, stdcall. A 32-bit program loads the
  32-bit DLL, a 64-bit program the 64-bit one. Linux (Free Pascal):
  libintegracao_docs_fiscal.so, cdecl.

  A const AnsiString is passed as the pointer to its first character, as the
  library expects (an empty string is a null pointer, which it reads as the
  empty text); the library never writes to it. With a Unicode `string`
  (Delphi 2009 and later) declare AnsiString or PAnsiChar, never string. }
unit integracao_docs_fiscal;

{$IFDEF FPC}{$MODE DELPHI}{$H+}{$ENDIF}

interface

const
{$IFDEF MSWINDOWS}
  IDF_LIBRARY = 'Integracao_Docs_Fiscal.dll';
{$ELSE}
  IDF_LIBRARY = 'integracao_docs_fiscal';
{$ENDIF}
  IDF_EXCHANGE_FILE = 'Integracao_Docs_Fiscal.ini';

procedure importa_arquivo_xml_nfe(const chave_acesso, pasta_temporaria, modo_silencioso: AnsiString);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external IDF_LIBRARY name 'importa_arquivo_xml_nfe';
procedure importa_arquivo_xml_cte(const chave_acesso, pasta_temporaria, modo_silencioso: AnsiString);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external IDF_LIBRARY name 'importa_arquivo_xml_cte';

{ The same functions with plain pointers, for texts that are not AnsiStrings. }
procedure importa_nfe_pchar(chave_acesso, pasta_temporaria, modo_silencioso: PAnsiChar);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external IDF_LIBRARY name 'importa_arquivo_xml_nfe';
procedure importa_cte_pchar(chave_acesso, pasta_temporaria, modo_silencioso: PAnsiChar);
  {$IFDEF MSWINDOWS}stdcall{$ELSE}cdecl{$ENDIF}; external IDF_LIBRARY name 'importa_arquivo_xml_cte';

implementation

end.
