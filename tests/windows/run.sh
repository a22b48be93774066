#!/usr/bin/env bash
# The Windows DLLs, 32- and 64-bit, as shipped, tested under Wine; the
# release archives; the examples (run from anywhere; as root on Debian 12
# after tests/windows/setup.sh):
#   bash tests/windows/run.sh [x86] [x64]     (both when none is named)
#   1. build-winref, a Linux build: the reference runner, the command-line
#      tool and the dumper;
#   2. the reference output of every case of cases.txt, as the Linux build
#      writes it (checked against the command-line tool as well);
#   3. `scripts/package.sh`: the three release archives, their contents
#      checked and unpacked; the Windows test programs are built beside the
#      archived DLLs (build-package/win32, win64);
# then for each architecture, with the DLL taken from its archive:
#   4. objdump: an image of the architecture exporting exactly the names and
#      ordinals of its .def file, importing system DLLs only; the members of
#      both import libraries;
#   5. the C examples built against each import library and without one;
#   6. a private Wine prefix (build-wine/x86 win32, build-wine/x64 win64,
#      null graphics driver, no crash dialog);
#   7. the version resource as Windows reads it; the C examples run;
#   8. the same XML trees from MSXML under Wine as from libxml2, for the
#      whole corpus and the edge cases below;
#   9. the test host under Wine, once per regional setting and once from a
#      drive root, every run under `timeout`;
# and last:
#  10. the Pascal, C# and Python examples against the Linux library of the
#      Linux archive.
# The documents come from the folder named by IDF_CORPUS_DIR; without it
# steps 2, 8 and 9 are skipped (and say so).
# Exit status 0 only when everything passed; the last line is
# "N passed, M failed".
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
corpus=${IDF_CORPUS_DIR:+$(cd "$IDF_CORPUS_DIR" 2>/dev/null && pwd)}
ref="$root/build-winref"
work="$root/build-winref/wine-run"
jobs=$(nproc 2>/dev/null || echo 2)
archs=("$@")
((${#archs[@]})) || archs=(x86 x64)
passed=0
failed=0

ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $*"; }
check() { if eval "$1"; then ok; else bad "$2"; fi; }
stop_wine() { [[ -n ${WINEPREFIX:-} ]] && timeout 30 wineserver -k >/dev/null 2>&1; }
finish() {
  stop_wine
  echo "$passed passed, $failed failed"
  ((failed == 0))
  exit
}
# Adds the counts of a log's "N passed, M failed" line; a log without one
# counts as one failure.
add_counts() {
  local line
  line=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$1" | tail -1)
  if [[ -z $line ]]; then bad "$2: no result line"; return; fi
  passed=$((passed + $(sed -E 's/^([0-9]+) passed.*/\1/' <<<"$line")))
  failed=$((failed + $(sed -E 's/.* ([0-9]+) failed.*/\1/' <<<"$line")))
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }
# "name@ordinal" of every export a .def file lists, sorted.
def_exports() {
  awk 'toupper($1) == "EXPORTS" {t = 1; next} t && /@[0-9]+/ {
         sub(/;.*/, ""); n = split($0, w, /[ \t=]+/); name = w[1] == "" ? w[2] : w[1]
         for (i = 1; i <= n; i++) if (w[i] ~ /^@[0-9]+$/) print name w[i] }' "$1" | sort | tr '\n' ' '
}

regional() {  # decimal, short date format, date separator of a group
  case $1 in
    ponto) echo ". M/d/yyyy /" ;;
    alemao) echo ", dd.MM.yyyy ." ;;
    *) echo ", dd/MM/yyyy /" ;;
  esac
}

if [[ -z $corpus ]]; then
  echo "skipped: the Wine runs of the test host and the XML comparison need the documents of IDF_CORPUS_DIR (not set or not a folder)"
fi
mkdir -p "$ref"


# ---- 6. the Wine prefix of an architecture ------------------------------------------------
prepare_prefix() {
  echo "== Wine prefix ($WINEARCH)"
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    timeout 300 "$wine" wineboot -i >/dev/null 2>&1 || { bad "wineboot ($WINEARCH)"; return 1; }
  fi
  reg 'HKCU\Software\Wine\Drivers' /v Graphics /d null &&
    reg 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 &&
    ok || bad "Wine registry set-up ($WINEARCH)"
  # The desktop process started with the prefix has no graphics driver yet:
  # restart the server so that every window from here on uses the null one.
  timeout 60 wineserver -k >/dev/null 2>&1
  timeout 60 wineserver -w >/dev/null 2>&1
}
reg() { timeout 60 "$wine" reg add "$@" /f >/dev/null 2>&1; }

# ---- 8. the same trees from MSXML as from libxml2 ---------------------------------------
xml_trees() {
echo "== XML trees ($arch): MSXML under Wine against libxml2"
x="$work/xml"
printf '<?xml version="1.0" encoding="UTF-8"?>\n<a xmlns="urn:x">\n  <b>  x  </b>\n  <c> \t </c>\n  <d><![CDATA[10.5]]></d>\n  <e>t<!--c-->u</e>\n  <p:f xmlns:p="urn:x">pf</p:f>\n  <g>&amp;&#65;&#x263A;&lt;</g>\n  <h xmlns="urn:y"><i/></h>\n  <?pi data?>\n</a>\n<!-- after -->\n' >"$x/mixed.xml"
printf '<?xml version="1.0" encoding="ISO-8859-1"?>\n<a>a\xe7\xe3o \xe9</a>\n' >"$x/latin1.xml"
printf '<?xml version="1.0" encoding="windows-1252"?>\n<a>\x80 \x93x\x94</a>\n' >"$x/cp1252.xml"
printf '\xef\xbb\xbf<a><b>bom</b></a>' >"$x/bom.xml"
printf '\xff\xfe<\0a\0>\0\xe7\0\xe3\0<\0/\0a\0>\0' >"$x/utf16.xml"
printf '<a><b>l1\r\nl2\rl3</b><c xml:space="preserve">  </c></a>' >"$x/linebreaks.xml"
printf '<a>\n<b>unclosed</a>\n' >"$x/unclosed.xml"
printf '<a>\xe7</a>' >"$x/bad-utf8.xml"
printf '' >"$x/empty.xml"
echo MARKER-NEVER-READ >"$x/marker.txt"
printf '<!DOCTYPE a [<!ENTITY ext SYSTEM "marker.txt">]>\n<a><b>&ext;</b></a>\n' >"$x/external-entity.xml"
printf '<!DOCTYPE a SYSTEM "http://127.0.0.1:9/never.dtd">\n<a><b>v</b></a>\n' >"$x/external-dtd.xml"
cp "$data/hostil/0-bomba.xml" "$x/bomb.xml"
deep() { local n=$1 i s=; for ((i = 0; i < n; i++)); do s+="<d>"; done; s+=x; for ((i = 0; i < n; i++)); do s+="</d>"; done; printf '%s' "$s"; }
deep 256 >"$x/depth-256.xml"
deep 257 >"$x/depth-257.xml"
deep 258 >"$x/depth-258.xml"
deep 20000 >"$x/depth-20000.xml"
mkdir -p "$x/corpus"
cp "$corpus"/nfe/*.xml "$corpus"/cte/*.xml "$x/corpus/"
files=("$x"/*.xml "$x"/corpus/*)
"$ref/idf_xml_dump" "$x/linux.txt" "${files[@]}"
wfiles=()
for f in "${files[@]}"; do wfiles+=("$(winpath "$f")"); done
if timeout 300 "$wine" "$build/idf_xml_dump.exe" "$(winpath "$x/windows-$arch.txt")" "${wfiles[@]}" >"$x/wine-$arch.log" 2>&1; then
  ok
else
  bad "the MSXML dumper did not finish under Wine"
fi
# Compare file by file ("#" lines hold the parsers' own messages).
split_dump() { awk -v dir="$2" '/^== /{f=dir "/" substr($0, 4)} !/^#/{print > f}' "$1"; }
rm -rf "$x/l" "$x/w-$arch"
mkdir -p "$x/l" "$x/w-$arch"
split_dump "$x/linux.txt" "$x/l"
[[ -f $x/windows-$arch.txt ]] && split_dump "$x/windows-$arch.txt" "$x/w-$arch"
for f in "$x"/l/*; do
  n=$(basename "$f")
  check 'cmp -s "$f" "$x/w-$arch/$n"' "XML tree of $n differs between MSXML ($arch) and libxml2: $(diff "$f" "$x/w-$arch/$n" 2>&1 | head -5 | tr '\n' ' ')"
done
check '! grep -q MARKER "$x/windows-$arch.txt"' "an external entity was loaded by MSXML"
echo "parser messages, libxml2 | MSXML:"
paste -d'|' <(grep -A1 'PARSE ERROR' "$x/linux.txt" | grep '^#') <(grep -A1 'PARSE ERROR' "$x/windows-$arch.txt" | grep '^#') | head -10

}

# ---- 7. the index of the folders searched ---------------------------------------------
# A registered cancellation of the key $1.
cancelamento() {
  printf '<?xml version="1.0" encoding="UTF-8"?><procEventoNFe xmlns="http://www.portalfiscal.inf.br/nfe" versao="1.00">%s%s</procEventoNFe>' \
    "<evento versao=\"1.00\"><infEvento><tpAmb>1</tpAmb><chNFe>$1</chNFe><tpEvento>110111</tpEvento></infEvento></evento>" \
    "<retEvento versao=\"1.00\"><infEvento><tpAmb>1</tpAmb><cStat>135</cStat><chNFe>$1</chNFe><tpEvento>110111</tpEvento><dhRegEvento>2024-06-11T10:00:00-03:00</dhRegEvento><nProt>135240000999999</nProt></infEvento></retEvento>"
}
# The index files in the prefix's LOCALAPPDATA folder, sorted.
index_files() { find "$WINEPREFIX/drive_c/users" -ipath '*/Integracao_Docs_Fiscal/*.idx' 2>/dev/null | sort; }
# headless.exe searching FOLDER for the sample key, the file to SAIDA; sets out and rc.
headless_search() {  # folder saida [env VAR=1]
  out=$(cd "$work/elsewhere" && "${@:3}" timeout 120 "$wine" "$(winpath "$ex/headless.exe")" nfe "$sample_key" "$(winpath "$1")" "$(winpath "$2")" 2>&1 | tr -d '\r')
  rc=$?
}

# ---- 9. the test host -----------------------------------------------------------------
set_regional() {
  read -r dec fmt sep <<<"$(regional "$1")"
  reg 'HKCU\Control Panel\International' /v sDecimal /d "$dec" &&
    reg 'HKCU\Control Panel\International' /v sShortDate /d "$fmt" &&
    reg 'HKCU\Control Panel\International' /v sDate /d "$sep"
}
run_host() {  # group, executable (Windows path)
  local log="$win/host-$1.log"
  echo "== test host ($arch): $1"
  set_regional "$1" || bad "regional settings for $1"
  (cd "$work/elsewhere" && timeout 300 "$wine" "$2" "$1" "$(winpath "$data")") >"$log" 2>&1
  local rc=$?
  grep -E '^(FAIL|host:)' "$log"
  ((rc == 124)) && bad "test host $1 ($arch): timed out"
  add_counts "$log" "test host $1 ($arch)"
  if ((rc != 0)) && ! grep -qE '^[0-9]+ passed, [1-9][0-9]* failed' "$log"; then bad "test host $1 ($arch): exit $rc"; tail -5 "$log"; fi
}


# ---- 4.-9. one architecture -----------------------------------------------------------
run_arch() {
  arch=$1
  local bits triplet format
  case $arch in
    x86) bits=32 triplet=i686-w64-mingw32 format=pei-i386 wine=/usr/lib/wine/wine WINEARCH=win32 ;;
    x64) bits=64 triplet=x86_64-w64-mingw32 format=pei-x86-64 wine=/usr/lib/wine/wine64 WINEARCH=win64 ;;
    *) bad "unknown architecture $arch (x86 or x64)"; return ;;
  esac
  build="$root/build-package/win$bits"         # the test programs, built with the archived DLL
  pkg="$unpacked/Integracao_Docs_Fiscal-$version-win$bits"
  win="$root/build-wine/$arch"
  export WINEARCH WINEPREFIX="$win/wineprefix" WINELOADER=$wine
  if [[ ! -f $pkg/Integracao_Docs_Fiscal.dll || ! -f $build/idf_win_host.exe ]]; then
    bad "$arch: no archived DLL or test programs"
    return
  fi
  dll="$pkg/Integracao_Docs_Fiscal.dll"
  mkdir -p "$win"

  echo "== exports and imports ($arch)"
  objdump=$triplet-objdump
  local headers exports expected imports name
  headers=$($objdump -p "$dll")
  check '[[ $($objdump -f "$dll") == *"file format $format"* ]]' "$arch: not a $format image"
  # name@ordinal from the name table: an entry's index plus the ordinal base.
  exports=$(awk '/^Ordinal Base/{base = $3} /^\[Ordinal\/Name Pointer\] Table/{t=1; next}
                 t && /^\t\[/{gsub(/[][]/, " "); print $NF "@" $1 + base} t && /^$/{t=0}' <<<"$headers" |
            sort | tr '\n' ' ')
  expected=$(def_exports "$pkg/Integracao_Docs_Fiscal.def")
  check '[[ -n $expected && $exports == "$expected" ]]' "$arch exports: '$exports', the .def file lists '$expected'"
  imports=$(grep 'DLL Name:' <<<"$headers" | awk '{print toupper($3)}' | sort -u | tr '\n' ' ')
  echo "imports: $imports"
  local allowed=" KERNEL32.DLL USER32.DLL COMDLG32.DLL OLE32.DLL OLEAUT32.DLL MSVCRT.DLL ADVAPI32.DLL GDI32.DLL SHELL32.DLL BCRYPT.DLL CRYPT32.DLL "
  for name in $imports; do
    check '[[ $allowed == *" $name "* ]]' "$arch imports a non-system DLL: $name"
  done
  check '[[ $($objdump -p "$build/idf_win_host.exe" | grep -c "DLL Name: .*Integracao") == 0 ]]' \
    "the test host must load the DLL at run time, not link it"

  echo "== import libraries ($arch)"
  # What a caller's object refers to: _name@12 on x86 (stdcall), name on x64.
  local symbols=() export_name internal
  while read -r export_name internal; do
    if [[ $arch == x86 ]]; then symbols+=("_$internal" "__imp__$internal"); else symbols+=("$export_name" "__imp_$export_name"); fi
  done < <(awk 'toupper($1) == "EXPORTS" {t = 1; next} t && /@[0-9]+/ {
                  sub(/;.*/, ""); gsub(/=/, " = "); n = split($0, w, /[ \t]+/); i = w[1] == "" ? 2 : 1
                  print w[i], (w[i + 1] == "=" ? w[i + 2] : w[i]) }' "$pkg/Integracao_Docs_Fiscal.def")
  local lib_symbols mingw_symbols readobj
  lib_symbols=$(llvm-nm "$pkg/Integracao_Docs_Fiscal.lib" 2>&1 | awk '$2 == "T" {print $3}' | sort | tr '\n' ' ')
  mingw_symbols=$($triplet-nm "$pkg/libIntegracao_Docs_Fiscal.dll.a" 2>&1 | awk '$2 == "T" || $2 == "I" {print $3}' |
                  grep -vE '^_+head_|_iname$' | sort | tr '\n' ' ')
  # dlltool names two internal symbols after the library's path as it was given.
  check 'grep -qE " _+head_libIntegracao_Docs_Fiscal_dll_a\$" <<<"$($triplet-nm "$pkg/libIntegracao_Docs_Fiscal.dll.a")"' \
    "$arch libIntegracao_Docs_Fiscal.dll.a: internal names carry a build folder"
  expected=$(printf '%s\n' "${symbols[@]}" | sort | tr '\n' ' ')
  check '[[ $lib_symbols == "$expected" ]]' "$arch Integracao_Docs_Fiscal.lib members: '$lib_symbols', expected '$expected'"
  check '[[ $mingw_symbols == "$expected" ]]' "$arch libIntegracao_Docs_Fiscal.dll.a: '$mingw_symbols', expected '$expected'"
  # The name the loader looks up: the symbol less its decoration (x86: the
  # leading underscore, and the @N of a stdcall function), the symbol itself on x64.
  readobj=$(llvm-readobj "$pkg/Integracao_Docs_Fiscal.lib" 2>&1 |
            awk '/^Name type:/{t = $3} /^Symbol: [^_]|^Symbol: _[^_]/{print $2 ":" t}' | sort | tr '\n' ' ')
  expected=$(for ((i = 0; i < ${#symbols[@]}; i += 2)); do
               name=${symbols[i]}
               if [[ $arch == x64 ]]; then echo "$name:name"; elif [[ $name == *@* ]]; then echo "$name:undecorate"
               else echo "$name:noprefix"; fi
             done | sort | tr '\n' ' ')
  check '[[ $readobj == "$expected" ]]' "$arch Integracao_Docs_Fiscal.lib name types: '$readobj', expected '$expected'"

  echo "== C examples ($arch)"
  local ex="$win/examples" cc=$triplet-gcc-win32 flags=(-std=c99 -Wall -Wextra -Werror -O2 -I"$pkg/include")
  rm -rf "$ex"
  mkdir -p "$ex"
  cp "$dll" "$ex/"
  if $cc "${flags[@]}" "$pkg/examples/c/import_linked.c" -L"$pkg" -lIntegracao_Docs_Fiscal -o "$ex/linked_mingw.exe" &&
     $cc "${flags[@]}" "$pkg/examples/c/import_linked.c" "$pkg/Integracao_Docs_Fiscal.lib" -o "$ex/linked_msvc_lib.exe" &&
     $cc "${flags[@]}" "$pkg/examples/c/import_loaded.c" -o "$ex/loaded.exe" &&
     $cc "${flags[@]}" "$pkg/examples/c/import_headless.c" -L"$pkg" -lIntegracao_Docs_Fiscal -o "$ex/headless.exe"; then
    ok
  else
    bad "$arch: the C examples did not build"
    return
  fi
  for name in linked_mingw linked_msvc_lib; do
    check '$objdump -p "$ex/$name.exe" | awk "/DLL Name: Integracao_Docs_Fiscal.dll/{t=1} t && /importa_arquivo_xml_nfe\$/{f=1} END{exit !f}"' \
      "$arch $name.exe: no import of importa_arquivo_xml_nfe from Integracao_Docs_Fiscal.dll"
  done

  prepare_prefix || return

  echo "== version resource ($arch)"
  local info want
  info=$(timeout 120 "$wine" "$build/idf_version_info.exe" "$(winpath "$dll")" 2>&1 | tr -d '\r')
  want="FILEVERSION=$version.0
PRODUCTVERSION=$version.0
FILETYPE=DLL
FileDescription=Imports authorised NF-e and CT-e into Integracao_Docs_Fiscal.ini ($bits-bit)
FileVersion=$version
InternalName=Integracao_Docs_Fiscal
OriginalFilename=Integracao_Docs_Fiscal.dll
ProductName=Integracao_Docs_Fiscal
ProductVersion=$version"
  check '[[ $info == "$want" ]]' "$arch version resource: $(diff <(echo "$want") <(echo "$info") | tr '\n' ' ')"

  echo "== C examples under Wine ($arch)"
  set_regional brasil || bad "regional settings for the examples"
  local out rc
  for name in linked_mingw linked_msvc_lib loaded; do
    rm -f "$ex/Integracao_Docs_Fiscal.ini"
    out=$(cd "$work/elsewhere" && timeout 120 "$wine" "$(winpath "$ex/$name.exe")" nfe "$sample_key" "$(winpath "$root/samples")" Sim 2>&1 | tr -d '\r')
    rc=$?
    check '[[ $rc == 0 && $out == "exchange file: "* ]] && cmp -s "$ex/Integracao_Docs_Fiscal.ini" "$sample_ref_windows"' \
      "$arch $name.exe: exit $rc, '$out', or an exchange file unlike the Linux build's"
    out=$(cd "$work/elsewhere" && timeout 120 "$wine" "$(winpath "$ex/$name.exe")" nfe "${sample_key%?}9" "$(winpath "$root/samples")" Sim 2>&1 | tr -d '\r')
    rc=$?
    check '[[ $rc == 1 && ! -e $ex/Integracao_Docs_Fiscal.ini ]]' "$arch $name.exe, a key not found: exit $rc, '$out'"
  done
  # The call for hosts without a desktop: the same file at the path given,
  # nothing beside the executable, the result object printed.
  rm -f "$ex/Integracao_Docs_Fiscal.ini" "$ex/saida.ini"
  out=$(cd "$work/elsewhere" && timeout 120 "$wine" "$(winpath "$ex/headless.exe")" nfe "$sample_key" "$(winpath "$root/samples")" "$(winpath "$ex/saida.ini")" 2>&1 | tr -d '\r')
  rc=$?
  check '[[ $rc == 0 && $out == *"{\"resultado\":\"concluida\","* && ! -e $ex/Integracao_Docs_Fiscal.ini ]] &&
         cmp -s "$ex/saida.ini" "$sample_ref_windows"' \
    "$arch headless.exe: exit $rc, '$out', or an exchange file unlike the Linux build's"
  out=$(cd "$work/elsewhere" && timeout 120 "$wine" "$(winpath "$ex/headless.exe")" nfe "${sample_key%?}9" "$(winpath "$root/samples")" "$(winpath "$ex/saida.ini")" 2>&1 | tr -d '\r')
  rc=$?
  check '[[ $rc == 1 && $out == *"{\"resultado\":\"abortada\","* && ! -e $ex/saida.ini ]]' \
    "$arch headless.exe, a key not found: exit $rc, '$out'"

  echo "== folder index ($arch)"
  # A second search after a change in the folder finds what reading every
  # file finds; nothing is written in the searched folder. Each row: the
  # sample NF-e and another key's cancellation beside it, both an hour old
  # (whole seconds, which a FILETIME holds exactly, so that a time put back
  # through SetFileTime is the very time the listing gave before).
  #   mesmo_tamanho        the event rewritten with the same size;
  #   indice_danificado    the same, the time put back and the index damaged;
  #   sem_indice           the same, the time put back, IDF_SEM_INDICE=1;
  #   reescrita_settime    rewritten in place by a Windows program, which
  #                        then sets the last-write time back (SetFileTime):
  #                        only the change time tells;
  #   substituida_movefile a new file with the old times moved onto it
  #                        (MoveFileExW): the file ID and change time tell.
  local idx_root="$win/indice" row rows=(mesmo_tamanho indice_danificado sem_indice reescrita_settime substituida_movefile)
  local before after index t tool="$build/idf_file_tool.exe" hour_ago
  local outra="${sample_key%?}9"
  rm -rf "$idx_root"
  index_files | xargs -r rm -f  # left by an earlier run: each row's index must be its own
  hour_ago=$(($(date +%s) - 3600))
  for row in "${rows[@]}"; do
    mkdir -p "$idx_root/$row"
    cp "$root/samples/nfe-exemplo.xml" "$idx_root/$row/b-nota.xml"
    cancelamento "$outra" >"$idx_root/$row/a-evento.xml"
    cancelamento "$sample_key" >"$idx_root/$row.nova"
    touch -d "@$hour_ago" "$idx_root/$row"/*.xml
  done
  sleep 2.1  # every file older than the index by more than a tick of any clock
  for row in "${rows[@]}"; do
    local dir="$idx_root/$row" off=() listed
    [[ $row == sem_indice ]] && off=(env IDF_SEM_INDICE=1)
    listed=$(ls -A "$dir")
    before=$(index_files)
    headless_search "$dir" "$idx_root/$row.ini" "${off[@]}"
    check '[[ $rc == 0 && -f $idx_root/$row.ini && $(ls -A "$dir") == "$listed" ]]' \
      "$arch folder index, $row: the first search: exit $rc, '$out', or the folder changed"
    index=$(comm -13 <(echo "$before") <(index_files))
    if [[ $row == sem_indice ]]; then
      check '[[ -z $index ]]' "$arch folder index, $row: an index was written: $index"
    else
      check '[[ -n $index && -f $index ]]' "$arch folder index, $row: no index in LOCALAPPDATA"
    fi
    # The event rewritten with the same size, now of the wanted key.
    t=$(stat -c '%y' "$dir/a-evento.xml")
    case $row in
      reescrita_settime | substituida_movefile)
        local how=rewrite
        [[ $row == substituida_movefile ]] && how=replace
        timeout 120 "$wine" "$tool" "$how" "$(winpath "$dir/a-evento.xml")" "$(winpath "$idx_root/$row.nova")" >/dev/null 2>&1
        check '[[ $(stat -c "%y %s" "$dir/a-evento.xml") == "$t $(stat -c %s "$idx_root/$row.nova")" ]]' \
          "$arch folder index, $row: the event was not rewritten with its old size and last-write time"
        ;;
      *)
        cp "$idx_root/$row.nova" "$dir/a-evento.xml"
        [[ $row != mesmo_tamanho ]] && touch -d "$t" "$dir/a-evento.xml"
        ;;
    esac
    [[ $row == indice_danificado && -n $index ]] && printf 'lixo%.0s' {1..64} >"$index"
    rm -f "$idx_root/$row.ini"
    headless_search "$dir" "$idx_root/$row.ini" "${off[@]}"
    check '[[ $rc == 1 && $out == *"{\"resultado\":\"abortada\","* && $out != *"\"cancelamento\":null"* &&
           ! -e $idx_root/$row.ini && $(ls -A "$dir") == "$listed" ]]' \
      "$arch folder index, $row: the cancellation rewritten in place was not found: exit $rc, '$out', or the folder changed"
    [[ $row == sem_indice ]] &&
      check '[[ -z $(comm -13 <(echo "$before") <(index_files)) ]]' "$arch folder index, $row: an index was written"
  done

  echo "== names the ANSI code page cannot hold ($arch)"
  # The sample NF-e and its cancellation in a file whose name the ANSI code
  # page cannot hold: listed and read by its true name, the import refused
  # with the name in the message, with the index (twice: made, then used)
  # and without it.
  local name names=("a-evento-ł.xml" "a-evento-😀.xml") n=0
  for name in "${names[@]}"; do
    n=$((n + 1))
    for row in indice sem_indice; do
      local dir="$win/nomes/$n-$row" off=() search json_path
      [[ $row == sem_indice ]] && off=(env IDF_SEM_INDICE=1)
      rm -rf "$dir"
      mkdir -p "$dir"
      cp "$root/samples/nfe-exemplo.xml" "$dir/b-nota.xml"
      cancelamento "$sample_key" >"$dir/$name"
      touch -d "@$hour_ago" "$dir"/*.xml
      # The file's Windows path as the result object writes it.
      json_path=$(winpath "$dir/$name")
      json_path=${json_path//\\/\\\\}
      for search in 1 2; do
        rm -f "$dir.ini"
        headless_search "$dir" "$dir.ini" "${off[@]}"
        check '[[ $rc == 1 && $out == *"{\"resultado\":\"abortada\","* && ! -e $dir.ini &&
               $out == *"o Arquivo $name Contém o Evento de Cancelamento 110111"* &&
               $out == *"\"cancelamento\":{\"arquivo\":\"$json_path\","* ]]' \
          "$arch $name, $row, search $search: the cancellation was not found: exit $rc, '$out'"
      done
    done
  done

  if [[ -n $corpus ]]; then
    rm -rf "$win/app" "$win/approot"
    mkdir -p "$win/app" "$win/approot"
    cp "$build/idf_win_host.exe" "$dll" "$win/app/"
    cp "$build/idf_win_host.exe" "$dll" "$win/approot/"
    ln -sfn "$win/approot" "$WINEPREFIX/dosdevices/y:"
    xml_trees
    run_host brasil "$(winpath "$win/app/idf_win_host.exe")"
    run_host ponto "$(winpath "$win/app/idf_win_host.exe")"
    run_host alemao "$(winpath "$win/app/idf_win_host.exe")"
    run_host raiz 'Y:\idf_win_host.exe'
  fi
  stop_wine
}

# ---- 3. the release archives -----------------------------------------------------------
# Lists what an archive must hold besides the examples.
check_archives() {
  local name=Integracao_Docs_Fiscal-$version bits listing want f
  echo "== release archives ($dist)"
  rm -rf "$unpacked"
  mkdir -p "$unpacked"
  for bits in 32 64; do
    local zip="$dist/$name-win$bits.zip" def=Integracao_Docs_Fiscal.def
    [[ $bits == 64 ]] && def=Integracao_Docs_Fiscal-x64.def
    if [[ ! -f $zip ]]; then bad "no $name-win$bits.zip"; continue; fi
    listing=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
    want=$( {
      printf '%s\n' Integracao_Docs_Fiscal.dll Integracao_Docs_Fiscal.lib libIntegracao_Docs_Fiscal.dll.a \
        Integracao_Docs_Fiscal.def include/integracao_docs_fiscal.h README.md CHANGELOG.md docs/exchange-file.md
      (cd "$root" && find examples -type f)
    } | sed "s|^|$name-win$bits/|" | sort)
    check '[[ $listing == "$want" ]]' "$name-win$bits.zip holds: $(diff <(echo "$want") <(echo "$listing") | grep '^[<>]' | tr '\n' ' ')"
    unzip -q "$zip" -d "$unpacked"
    local top="$unpacked/$name-win$bits"
    check 'cmp -s "$top/Integracao_Docs_Fiscal.def" "$root/src/entry/$def" &&
           cmp -s "$top/include/integracao_docs_fiscal.h" "$root/include/integracao_docs_fiscal.h"' \
      "$name-win$bits.zip: the .def file or the header differs from the sources"
  done
  local tgz="$dist/$name-linux-x86_64.tar.gz"
  if [[ -f $tgz ]]; then
    listing=$(tar -tvzf "$tgz" | awk '{t = substr($1, 1, 1); $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print t " " $0}')
    for f in "- $name-linux-x86_64/bin/integracao-docs-fiscal" "- $name-linux-x86_64/include/integracao_docs_fiscal.h" \
             "l $name-linux-x86_64/lib/libintegracao_docs_fiscal.so -> libintegracao_docs_fiscal.so.1" \
             "l $name-linux-x86_64/lib/libintegracao_docs_fiscal.so.1 -> libintegracao_docs_fiscal.so.$version" \
             "- $name-linux-x86_64/lib/libintegracao_docs_fiscal.so.$version" \
             "- $name-linux-x86_64/lib/cmake/IntegracaoDocsFiscal/IntegracaoDocsFiscalConfig.cmake" \
             "- $name-linux-x86_64/lib/cmake/IntegracaoDocsFiscal/IntegracaoDocsFiscalConfigVersion.cmake" \
             "- $name-linux-x86_64/lib/pkgconfig/integracao_docs_fiscal.pc"; do
      check 'grep -qxF -e "$f" <<<"$listing"' "$name-linux-x86_64.tar.gz lacks '$f'"
    done
    tar -xzf "$tgz" -C "$unpacked"
    linux_lib="$unpacked/$name-linux-x86_64/lib"
  else
    bad "no $name-linux-x86_64.tar.gz"
  fi
}

# ---- 10. the Pascal, C# and Python examples against the Linux library ------------------
# Each host's executable is copied into a folder of its own, where the
# library writes the exchange file (beside the executable).
linux_examples() {
  [[ -n ${linux_lib:-} && -f $linux_lib/libintegracao_docs_fiscal.so.1 ]] || { bad "no Linux library for the examples"; return; }
  local ex="$root/build-package/examples-linux" out rc host
  echo "== Pascal, C# and Python examples (Linux)"
  rm -rf "$ex"
  mkdir -p "$ex"/{pascal,csharp,python}
  if fpc -v0 -FU"$ex/pascal" -Fl"$linux_lib" -o"$ex/pascal/importa" "$root/examples/pascal/importa.pas" >"$ex/pascal.log" 2>&1; then ok
  else cat "$ex/pascal.log"; bad "the Pascal example did not build"; fi
  if mcs -warnaserror -out:"$ex/csharp/Importa.exe" "$root/examples/csharp/Importa.cs" "$root/examples/csharp/IntegracaoDocsFiscal.cs" \
       >"$ex/csharp.log" 2>&1; then ok
  else cat "$ex/csharp.log"; bad "the C# example did not build"; fi
  cp "$root/examples/csharp/Importa.exe.config" "$ex/csharp/"
  cp "$(readlink -f /usr/bin/mono)" "$ex/csharp/mono"
  # The system's interpreter (a version manager's python3 may be a script).
  cp "$(readlink -f /usr/bin/python3)" "$ex/python/python3"
  run_example() {  # folder, key, command...
    local folder=$1 key=$2; shift 2
    rm -f "$folder/Integracao_Docs_Fiscal.ini"
    out=$(cd "$work_linux" && LD_LIBRARY_PATH="$linux_lib" timeout 120 "$@" nfe "$key" "$root/samples" Sim 2>&1)
    rc=$?
  }
  local work_linux="$ex"
  for host in pascal csharp python; do
    local cmd
    case $host in
      pascal) cmd=("$ex/pascal/importa") ;;
      csharp) cmd=("$ex/csharp/mono" "$ex/csharp/Importa.exe") ;;
      python) cmd=("$ex/python/python3" "$root/examples/python/importa.py") ;;
    esac
    run_example "$ex/$host" "$sample_key" "${cmd[@]}"
    check '[[ $rc == 0 && $out == "exchange file: $ex/$host/Integracao_Docs_Fiscal.ini"* ]] &&
           cmp -s "$ex/$host/Integracao_Docs_Fiscal.ini" "$sample_ref"' \
      "$host example: exit $rc, '$(head -3 <<<"$out")', or an exchange file unlike the tool's"
    # The C# and Python examples print the file read as CP1252.
    [[ $host != pascal ]] && check 'grep -qx "Complemento=Galpão 2" <<<"$out"' "$host example: the CP1252 text was not read back"
    run_example "$ex/$host" "${sample_key%?}9" "${cmd[@]}"
    check '[[ $rc == 1 && ! -e $ex/$host/Integracao_Docs_Fiscal.ini ]]' "$host example, a key not found: exit $rc, '$out'"
    # The call for hosts without a desktop, in the C# and Python examples.
    [[ $host == pascal ]] && continue
    rm -f "$ex/$host/saida.ini" "$ex/$host/Integracao_Docs_Fiscal.ini"
    out=$(cd "$work_linux" && LD_LIBRARY_PATH="$linux_lib" timeout 120 "${cmd[@]}" --saida "$ex/$host/saida.ini" nfe "$sample_key" "$root/samples" 2>&1)
    rc=$?
    check '[[ $rc == 0 && $out == *"{\"resultado\":\"concluida\","* && ! -e $ex/$host/Integracao_Docs_Fiscal.ini ]] &&
           cmp -s "$ex/$host/saida.ini" "$sample_ref"' \
      "$host example --saida: exit $rc, '$(head -3 <<<"$out")', or an exchange file unlike the tool's"
  done
}

# ---- 1. the Linux reference build -----------------------------------------------
echo "== Linux reference build ($ref)"
if cmake -S "$here/reference" -B "$ref" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$ref/configure.log" 2>&1 &&
   cmake --build "$ref" -j "$jobs" --target idf_reference idf_xml_dump integracao-docs-fiscal \
     >"$ref/build.log" 2>&1; then
  ok
else
  cat "$ref/configure.log" "$ref/build.log" 2>/dev/null | tail -40
  bad "Linux reference build"
  finish
fi


prepare_data() {
# ---- 2. data and references --------------------------------------------------------
echo "== data and Linux references ($work)"
rm -rf "$work"
data="$work/data"
mkdir -p "$data"/{nfe,cte,ordem,hostil,avulsos,amostra,cancelada,eventos,sem_tomador} "$work/elsewhere" "$work/xml"
cp "$here/cases.txt" "$data/"
for f in nfelib-nfe400-35-1808-47428.xml nfelib-nfe400-26-1808-1687.xml spedda-nfe400-obscont.xml \
         nfedanfe-nfe400-bom.xml brdanfe-nfce400-crlf.xml; do cp "$corpus/nfe/$f" "$data/nfe/"; done
cp "$corpus/nfe/nfelib-nfe400-26-1808-1687.xml" "$data/nfe/.oculto.xml"  # hidden: never listed
mkdir "$data/nfe/pasta.xml"                                                  # a folder: never listed
echo "not XML" >"$data/nfe/leia-me.txt"
for f in spedda-cte300-hom-31nfe.xml spedda-cte300-proccanc-retevento.xml brdanfe-cte103-42-1107-225.xml \
         nfephp-cte104-35-1212-1616-crlf.xml; do cp "$corpus/cte/$f" "$data/cte/"; done
# Two files with the same key: the one whose name sorts first, ignoring case, wins.
cp "$corpus/cte/bfr-cte400-test1.xml" "$data/ordem/b.XML"
cp "$corpus/cte/bfr-cte400-icms60.xml" "$data/ordem/A.xml"
# Hostile files before the wanted one, each carrying its key.
key=26180875335849000115550010000016871192213331
{
  printf '<?xml version="1.0"?>\n<!DOCTYPE nfeProc [\n <!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">\n'
  prev=a
  for i in 1 2 3 4 5 6 7 8; do
    printf ' <!ENTITY e%s "' "$i"; for _ in 1 2 3 4 5 6 7 8 9 10; do printf '&%s;' "$prev"; done; printf '">\n'
    prev=e$i
  done
  printf ']>\n<nfeProc><protNFe><infProt><chNFe>%s</chNFe><xMotivo>&%s;</xMotivo></infProt></protNFe></nfeProc>\n' "$key" "$prev"
} >"$data/hostil/0-bomba.xml"
printf '<nfeProc><protNFe><infProt><chNFe>%s</chNFe></infProt></protNFe>\n' "$key" >"$data/hostil/1-quebrado.xml"
printf '%s' "$key" >"$data/hostil/chave.txt"
printf '<!DOCTYPE nfeProc [<!ENTITY k SYSTEM "chave.txt">]>\n<nfeProc><protNFe><infProt><chNFe>&k;</chNFe><x>%s</x></infProt></protNFe></nfeProc>\n' \
  "$key" >"$data/hostil/2-externa.xml"
cp "$corpus/nfe/nfelib-nfe400-26-1808-1687.xml" "$data/hostil/9-nota.xml"
mkfifo "$data/hostil/00-fila.xml"  # a FIFO under an .xml name must not block the search
for f in nfelib-nfe400-35-1808-47449.xml nfephp-nfe200-unsigned.xml nfelib-nfe400-reforma-tributaria.xml; do
  cp "$corpus/nfe/$f" "$data/avulsos/"
done
# The document's authenticity, every answer: as authorised, re-indented,
# without a signature (the wrapper's namespaces and the edited ones are
# among the others).
for f in brdanfe-nfe200-fci.xml spednfe-nfe400-sn202.xml brdanfe-nfe310-50itens-crlf.xml; do
  cp "$corpus/nfe/$f" "$data/avulsos/"
done
cp "$root"/tests/data/autenticidade/*.xml "$data/avulsos/"
for f in brdanfe-cte103-42-1107-225.xml bfr-cte400-reforma-tributaria.xml spedda-cteos300-hom.xml nfephp-cte104-35-1212-1616-crlf.xml; do
  cp "$corpus/cte/$f" "$data/avulsos/"
done
printf '<?xml version="1.0"?>\n<nfeProc>\n  <NFe>\n</nfeProc>\n' >"$data/avulsos/invalido.xml"
# A real CT-e OS without its taker (toma), as the schemas allow.
sed '/<toma>/,/<\/toma>/d' "$corpus/cte/spedda-cteos300-hom.xml" >"$data/sem_tomador/cteos.xml"
# The hand-written documents of the tax reform, with every group.
cp "$root"/tests/data/reforma/*.xml "$data/avulsos/"
cp "$root/samples/nfe-exemplo.xml" "$root/samples/cteos-exemplo.xml" "$data/amostra/"
# The sample NF-e and, sorting before it, the event that cancels it.
cp "$root/samples/nfe-exemplo.xml" "$data/cancelada/"
key=35240612345678000195550010000012341000012345
printf '<?xml version="1.0" encoding="UTF-8"?>\n<procEventoNFe xmlns="http://www.portalfiscal.inf.br/nfe" versao="1.00">%s%s</procEventoNFe>\n' \
  "<evento versao=\"1.00\"><infEvento><chNFe>$key</chNFe><tpEvento>110111</tpEvento></infEvento></evento>" \
  "<retEvento versao=\"1.00\"><infEvento><cStat>135</cStat><nProt>135240000999999</nProt></infEvento></retEvento>" \
  >"$data/cancelada/evento-cancelamento.xml"
# The sample NF-e with a correction letter (its text with an accent) and the
# buyer's manifestation beside it, registered in the opposite order.
cp "$root/samples/nfe-exemplo.xml" "$data/eventos/"
evento() {  # name tpEvento detail nProt dhRegEvento
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<procEventoNFe xmlns="http://www.portalfiscal.inf.br/nfe" versao="1.00">%s%s</procEventoNFe>\n' \
    "<evento versao=\"1.00\"><infEvento><tpAmb>1</tpAmb><chNFe>$key</chNFe><dhEvento>2024-06-12T08:00:00-03:00</dhEvento><tpEvento>$2</tpEvento><nSeqEvento>01</nSeqEvento><detEvento versao=\"1.00\">$3</detEvento></infEvento></evento>" \
    "<retEvento versao=\"1.00\"><infEvento><tpAmb>1</tpAmb><cStat>135</cStat><chNFe>$key</chNFe><tpEvento>$2</tpEvento><dhRegEvento>$5</dhRegEvento><nProt>$4</nProt></infEvento></retEvento>" \
    >"$data/eventos/$1"
}
evento a-cce.xml 110110 '<descEvento>Carta de Correcao</descEvento><xCorrecao>Descrição do produto: caixa</xCorrecao>' \
  135240000000001 2024-06-14T10:00:00-03:00
evento b-manifesto.xml 210240 '<descEvento>Operacao nao Realizada</descEvento><xJust>Mercadoria nao recebida</xJust>' \
  135240000000002 2024-06-13T10:00:00-03:00

while IFS='|' read -r group name type way source key modo flags; do
  [[ -z $group || $group == \#* ]] && continue
  out="$data/expected/$group/$name"
  mkdir -p "$out"
  read -r dec fmt _ <<<"$(regional "$group")"
  if [[ $way == arquivo ]]; then
    (cd "$work/elsewhere" && "$ref/idf_reference" "$type" "$out" "$dec" "$fmt" "$modo" arquivo "$data/$source")
  else
    (cd "$work/elsewhere" && "$ref/idf_reference" "$type" "$out" "$dec" "$fmt" "$modo" chave "$key" "$data/$source")
  fi
  # The command-line tool writes the same file under the Brazilian setting.
  if [[ $(regional "$group") == "$(regional brasil)" ]]; then
    cli="$work/cli/$group-$name"
    mkdir -p "$cli"
    args=("$type" --saida "$cli" --json)
    [[ $way == arquivo ]] && args+=(--arquivo "$data/$source") || args+=(--chave "$key" --pasta "$data/$source")
    [[ $modo == Sim ]] && args+=(--silencioso)
    (cd "$work/elsewhere" && "$ref/src/integracao-docs-fiscal" "${args[@]}" >/dev/null 2>&1 ||
       "$ref/idf/integracao-docs-fiscal" "${args[@]}" >/dev/null 2>&1)
    if [[ -f $out/Integracao_Docs_Fiscal.ini ]]; then
      check 'cmp -s "$out/Integracao_Docs_Fiscal.ini" "$cli/Integracao_Docs_Fiscal.ini"' \
        "reference $group/$name differs from the command-line tool's file"
    else
      check '[[ ! -e $cli/Integracao_Docs_Fiscal.ini ]]' "reference $group/$name: the command-line tool completed"
    fi
  fi
done <"$data/cases.txt"

# The XML's amounts and dates read right under other settings too: the
# sample NF-e of 10 June 2024, instalments due 10 July and 9 August.
for want in ponto:Data_Emissao=6/10/2024 ponto:Total_Nota_Fiscal=61.75 ponto:Valor_IPI=1.75 \
            ponto:Data_Vencimento_01=7/10/2024 ponto:Valor_01=30.88 ponto:Data_Vencimento_02=8/9/2024 \
            alemao:Data_Emissao=10.06.2024 alemao:Total_Nota_Fiscal=61,75 alemao:Data_Vencimento_02=09.08.2024; do
  f="$data/expected/${want%%:*}/nfe_amostra/Integracao_Docs_Fiscal.ini"
  check 'tr -d "\r" <"$f" | grep -qxF -e "${want#*:}"' "reference ${want%%:*}/nfe_amostra lacks '${want#*:}'"
done
# The same for the tax reform's lines: a delivery on 24 March 2026, rates of 4 decimals.
for want in ponto:Data_Previsao_Entrega=3/24/2026 ponto:Percentual_Redutor_Compra_Governamental=12.5000 \
            ponto:Valor_Compra_Governamental_CBS_1=23.63 alemao:Data_Previsao_Entrega=24.03.2026 \
            alemao:Percentual_Redutor_Compra_Governamental=12,5000 alemao:Aliquota_Compra_Governamental_IBS_UF_1=0,0875; do
  f="$data/expected/${want%%:*}/nfe_reforma_compra_governamental/Integracao_Docs_Fiscal.ini"
  check 'tr -d "\r" <"$f" | grep -qxF -e "${want#*:}"' \
    "reference ${want%%:*}/nfe_reforma_compra_governamental lacks '${want#*:}'"
done
f="$data/expected/brasil/nfe_eventos/Integracao_Docs_Fiscal.ini"
for want in Tipo_Evento_1=210240 Arquivo_Evento_2=a-cce.xml Eventos=2; do
  check 'tr -d "\r" <"$f" | grep -qxF -e "$want"' "reference brasil/nfe_eventos lacks '$want'"
done

}


export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LANG=C.UTF-8 LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
[[ -n $corpus ]] && prepare_data
mkdir -p "$work/elsewhere"

# ---- the archives, and the reference for the sample document ------------------------------------
version=$(sed -nE 's/^project\(Integracao_Docs_Fiscal VERSION ([0-9]+\.[0-9]+\.[0-9]+).*/\1/p' "$root/CMakeLists.txt")
dist="$root/build-package/dist"
unpacked="$root/build-package/unpacked"
SECONDS=0
echo "== bash scripts/package.sh (with the Windows test programs)"
if IDF_PACKAGE_TESTS=ON bash "$root/scripts/package.sh" "$dist"; then ok; else bad "scripts/package.sh"; fi
echo "== archives: ${SECONDS}s"
check_archives
sample_key=35240612345678000195550010000012341000012345
cli=$(ls "$ref"/idf/integracao-docs-fiscal "$ref"/idf/src/cli/integracao-docs-fiscal 2>/dev/null | head -1)
sample_ref="$work/sample/Integracao_Docs_Fiscal.ini"
mkdir -p "$work/sample"
rm -f "$sample_ref"
"$cli" nfe --chave "$sample_key" --pasta "$root/samples" --silencioso --saida "$work/sample" >/dev/null 2>&1
check '[[ -f $sample_ref ]]' "the command-line tool did not import the sample document"
# Under Wine the document's path is the Windows one.
sample_ref_windows="$work/sample/windows.ini"
DOC="$(winpath "$root/samples")\\nfe-exemplo.xml" LC_ALL=C \
  awk '/^Diretorio_Arquivo_XML=/ {print "Diretorio_Arquivo_XML=" ENVIRON["DOC"] "\r"; next} {print}' \
  "$sample_ref" >"$sample_ref_windows"

for a in "${archs[@]}"; do
  SECONDS=0
  run_arch "$a"
  echo "== $a: ${SECONDS}s"
done
SECONDS=0
linux_examples
echo "== Linux examples: ${SECONDS}s"

finish
