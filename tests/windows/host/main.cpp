// idf_win_host GROUP DATA_DIR
//
// Loads Integracao_Docs_Fiscal.dll from its own folder, calls both exports
// by name and checks every box, dialog and exchange file against what the
// Linux build produced for the same case (DATA_DIR\expected\GROUP\NAME),
// plus the cases that only a Windows host can see. GROUP is the regional
// setting the run was started under ("brasil", "ponto" or "alemao"), or
// "raiz" for a host in a drive's root. Prints "N passed, M failed" last.
#include <objbase.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host.hpp"

using namespace host;

namespace {

const std::string caption_utf8 = " A T E N Ç Ã O    ! ! !";
const std::string abortada = "\r\n\nA Importação será Abortada.";
const std::string nfe_not_found =
    "O Sistema Não Conseguiu Localizar o Arquivo XML na Pasta Temporária.\r\n\nVerifique a Chave de Acesso Lançada na "
    "Nota Fiscal de Compra\r\n\nA Importação será Abortada.";
const std::string cte_not_found =
    "O Sistema Não Conseguiu Localizar o Arquivo XML na Pasta Temporária.\r\n\nA Importação será Abortada.";
const std::string nfe_no_protocol =
    "Arquivo XML Inválido. O Sistema não Conseguiu Ler o Nº do Protocolo da Autorização da NFe.\r\n\nA Importação "
    "será Abortada.";
const std::string nfe_key = "26180875335849000115550010000016871192213331";
const std::string directory_key = "Diretorio_Arquivo_XML=";

struct Case {
    std::string group, name, type, way, source, key, modo, flags;
};

struct Expected {
    std::optional<std::string> ini;
    std::vector<std::string> boxes;
};

struct Host {
    Library lib;
    Watcher watcher;
    std::wstring data;
    std::wstring exchange;
    std::wstring start_folder;
    HWND window = nullptr;
    std::string group;
};

struct CallResult {
    int stack = 0;
    std::vector<Seen> seen;
    std::optional<std::string> ini;
    int boxes() const {
        int n = 0;
        for (const Seen& s : seen) n += s.kind == Seen::box;
        return n;
    }
    int dialogs() const { return static_cast<int>(seen.size()) - boxes(); }
};

std::wstring windows_path(const std::wstring& data, const std::string& relative) {
    std::wstring out = data + L"\\" + from_utf8(relative);
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

CallResult import(Host& h, const std::string& type, const char* chave, const char* pasta, const char* modo,
                  const DialogPlan& plan = {}) {
    h.watcher.start_case(plan, h.exchange, h.window);
    CallResult result;
    result.stack = call_checked(type == "nfe" ? h.lib.nfe : h.lib.cte, chave, pasta, modo);
    result.seen = h.watcher.finish_case();
    result.ini = read_bytes(h.exchange);
    return result;
}

std::vector<Case> read_cases(const std::wstring& data, const std::string& group) {
    std::vector<Case> cases;
    const auto text = read_bytes(data + L"\\cases.txt");
    if (!text) return cases;
    std::istringstream in(*text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        std::size_t start = 0;
        for (;;) {
            const std::size_t bar = line.find('|', start);
            f.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
            if (bar == std::string::npos) break;
            start = bar + 1;
        }
        f.resize(8);
        if (f[0] == group) cases.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
    }
    return cases;
}

Expected read_expected(const Host& h, const std::string& name) {
    const std::wstring dir = h.data + L"\\expected\\" + from_utf8(h.group) + L"\\" + from_utf8(name);
    Expected e;
    e.ini = read_bytes(dir + L"\\Integracao_Docs_Fiscal.ini");
    const std::string boxes = read_bytes(dir + L"\\boxes.txt").value_or("");
    std::size_t pos = 0;
    while (pos < boxes.size()) {
        const std::size_t nl = boxes.find('\n', pos);
        if (nl == std::string::npos) break;
        const std::size_t length = std::stoul(boxes.substr(pos, nl - pos));
        e.boxes.push_back(boxes.substr(nl + 1, length));
        pos = nl + 1 + length;
    }
    return e;
}

// The exchange file equals the Linux one, the "Diretorio_Arquivo_XML=" line
// aside, which must name the Windows path of the file imported.
void compare_ini(const std::string& test, const std::string& got, const std::string& want,
                 const std::wstring& imported_folder) {
    const auto a = split_crlf(got);
    const auto b = split_crlf(want);
    results.check(a.size() == b.size(), test,
                  "exchange file has " + std::to_string(a.size()) + " lines, Linux " + std::to_string(b.size()));
    results.check(got.size() >= 2 && got.substr(got.size() - 2) == "\r\n", test, "exchange file ends with CR LF");
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (b[i].rfind(directory_key, 0) == 0) {
            const std::string base = b[i].substr(b[i].find_last_of('/') + 1);
            const std::string path = ansi(imported_folder) + "\\" + base;
            results.check(a[i] == directory_key + path, test,
                          "line " + std::to_string(i + 1) + ": " + a[i] + " (expected " + directory_key + path + ")");
            continue;
        }
        if (a[i] != b[i]) {
            results.check(false, test,
                          "line " + std::to_string(i + 1) + " differs: [" + a[i] + "] Linux [" + b[i] + "]");
            return;
        }
    }
    results.check(true, test, "");
}

// Boxes: the caption, an OK button only, the host's window disabled.
void check_boxes_shape(const std::string& test, const CallResult& r) {
    for (const Seen& s : r.seen) {
        if (s.kind != Seen::box) continue;
        results.check(s.caption == from_utf8(caption_utf8), test, "caption [" + printable(s.caption) + "]");
        results.check(s.ok_only, test, "box has an OK button only");
        results.check(s.owner_disabled, test, "host window disabled while the box is up");
    }
}

void run_case(Host& h, const Case& c) {
    const std::string test = h.group + "/" + c.name;
    const Expected want = read_expected(h, c.name);
    DeleteFileW(h.exchange.c_str());

    DialogPlan plan;
    std::wstring folder;  // the folder of the document imported
    std::string pasta;
    if (c.way == "arquivo") {
        plan.cancel = false;
        plan.path = windows_path(h.data, c.source);
        folder = plan.path.substr(0, plan.path.rfind(L'\\'));
    } else {
        const std::wstring p = windows_path(h.data, c.source);
        pasta = ansi(p);
        folder = p.find_first_of(L"*?") == std::wstring::npos ? p : p.substr(0, p.rfind(L'\\'));
    }
    const std::string key = c.way == "arquivo" ? "" : c.key;
    const CallResult r = import(h, c.type, key.c_str(), pasta.c_str(), c.modo.c_str(), plan);

    results.check(r.stack == 0, test, "stack moved by " + std::to_string(r.stack) + " bytes");
    results.check(r.dialogs() == (c.way == "arquivo" ? 1 : 0), test,
                  "open-file dialogs seen: " + std::to_string(r.dialogs()));
    check_boxes_shape(test, r);

    std::vector<std::wstring> texts;
    for (const Seen& s : r.seen)
        if (s.kind == Seen::box) texts.push_back(s.text);
    results.check(texts.size() == want.boxes.size(), test,
                  "boxes: " + std::to_string(texts.size()) + ", Linux " + std::to_string(want.boxes.size()));
    for (std::size_t i = 0; i < texts.size() && i < want.boxes.size(); ++i)
        results.check(texts[i] == through_ansi(want.boxes[i]), test,
                      "box " + std::to_string(i + 1) + " [" + printable(texts[i]) + "] Linux [" +
                          printable(from_utf8(want.boxes[i])) + "]");

    results.check(r.ini.has_value() == want.ini.has_value(), test,
                  std::string("exchange file ") + (r.ini ? "present" : "absent") + ", Linux " +
                      (want.ini ? "present" : "absent"));
    if (r.ini && want.ini) compare_ini(test, *r.ini, *want.ini, folder);
    results.check(!exists(h.start_folder + L"\\Integracao_Docs_Fiscal.ini") || h.start_folder == module_folder(), test,
                  "no exchange file in the host's starting folder");

    // A box shown after a completed import is the report: the file is
    // already complete while the user reads it.
    bool report_seen = false;
    for (const Seen& s : r.seen) {
        if (s.kind != Seen::box || !r.ini) continue;
        results.check(s.ini == r.ini, test, "exchange file complete while the report box is up");
        report_seen = true;
    }
    if (c.flags.find("relatorio") != std::string::npos)
        results.check(report_seen, test, "the end-of-run report box was shown");
    if (c.way == "chave" && r.ini)
        results.check(lstrcmpiW(current_folder().c_str(), folder.c_str()) == 0, test,
                      "current folder is the searched one: " + printable(current_folder()));

    // The same import through the call for hosts without a desktop: the same
    // file at the path given, no window at all, the current folder kept.
    const std::string idf_test = test + "/idf";
    SetCurrentDirectoryW(h.start_folder.c_str());
    const auto beside_the_executable = read_bytes(h.exchange);
    CreateDirectoryW((h.data + L"\\saida").c_str(), nullptr);
    const std::wstring out = h.data + L"\\saida\\" + from_utf8(h.group + "-" + c.name) + L".ini";
    write_bytes(out, "[OLD]\r\n");
    const std::string xml = c.way == "arquivo" ? ansi(plan.path) : "";
    const HeadlessRun run =
        call_headless(h.lib.module, h.watcher, h.window, c.type, key.c_str(), pasta.c_str(), xml.c_str(), out);
    results.check(run.seen.empty(), idf_test, "windows seen: " + std::to_string(run.seen.size()));
    results.check(run.folder_kept, idf_test, "the current folder kept: " + printable(current_folder()));
    results.check(run.code == (want.ini ? 0 : 1), idf_test, "returned " + std::to_string(run.code));
    results.check(
        run.ini.has_value() == want.ini.has_value(), idf_test,
        std::string("file ") + (run.ini ? "present" : "absent") + ", Linux " + (want.ini ? "present" : "absent"));
    if (run.ini && want.ini) compare_ini(idf_test, *run.ini, *want.ini, folder);
    results.check(read_bytes(h.exchange) == beside_the_executable, idf_test, "nothing written beside the executable");
    results.check(
        run.result_code == 0 &&
            run.result.rfind(want.ini ? "{\"resultado\":\"concluida\"," : "{\"resultado\":\"abortada\",", 0) == 0,
        idf_test, "result [" + run.result + "]");
    // Never silent: with "Sim" the classic call hid some of these texts.
    if (c.modo.empty())
        results.check(run.result.find("\"mensagens\":" + json_messages(want.boxes) + ",") != std::string::npos,
                      idf_test, "the boxes of the Linux build as the result's messages: " + run.result);
    DeleteFileW(out.c_str());
}

// ---- cases only a Windows host can see ------------------------------------

void dialog_cancelled(Host& h) {
    const std::string test = "dialogo_cancelado";
    write_bytes(h.exchange, "[OLD]\r\n");
    const CallResult r = import(h, "nfe", "   ", "", "");
    results.check(r.dialogs() == 1, test, "the open-file dialog was shown");
    results.check(r.boxes() == 0, test, "no box");
    results.check(!r.ini, test, "no exchange file, not even the old one");
    results.check(r.stack == 0, test, "stack balanced");
}

void null_pointers(Host& h) {
    const std::string test = "ponteiros_nulos";
    const CallResult r = import(h, "cte", nullptr, nullptr, nullptr);
    results.check(r.dialogs() == 1, test, "an empty key offers the open-file dialog");
    results.check(r.boxes() == 0, test, "no box after cancelling");
    results.check(!r.ini, test, "no exchange file");
    results.check(r.stack == 0, test, "stack balanced");
}

void exact_messages(Host& h) {
    struct {
        const char* test;
        const char* type;
        std::string key;
        const char* modo;
        int boxes;
        const std::string* text;
    } cases[] = {
        {"nao_localizada_nfe", "nfe", nfe_key + "9", "", 1, &nfe_not_found},
        {"nao_localizada_cte_com_chave_nfe", "cte", nfe_key, "", 1, &cte_not_found},
        {"nao_localizada_silenciosa", "nfe", nfe_key + "9", "Sim", 0, nullptr},
        {"nao_localizada_sim_minusculo", "nfe", nfe_key + "9", "sim", 1, &nfe_not_found},
        {"nao_localizada_sim_com_espaco", "cte", nfe_key + " ", "Sim ", 1, &cte_not_found},
    };
    const std::string folder = ansi(h.data + L"\\nfe");
    for (const auto& c : cases) {
        write_bytes(h.exchange, "[OLD]\r\n");
        const CallResult r = import(h, c.type, c.key.c_str(), folder.c_str(), c.modo);
        results.check(r.boxes() == c.boxes, c.test, "boxes: " + std::to_string(r.boxes()));
        if (c.text && r.boxes() == 1) {
            results.check(r.seen[0].text == through_ansi(*c.text), c.test, "text [" + printable(r.seen[0].text) + "]");
            results.check(r.seen[0].folder_held, c.test, "the exchange file's folder held during the call");
        }
        check_boxes_shape(c.test, r);
        results.check(!r.ini, c.test, "no exchange file afterwards");
        results.check(r.stack == 0, c.test, "stack balanced");
    }

    // Another program holds the old exchange file open without sharing
    // writes: it can be neither deleted nor replaced.
    {
        const std::string test = "arquivo_de_troca_em_uso";
        const std::string creation =
            "O Sistema Encontrou Problemas ao Criar o Arquivo Integracao_Docs_Fiscal.ini.\r\n\nA Importação será "
            "Abortada.";
        write_bytes(h.exchange, "[OLD]\r\n");
        HANDLE held =
            CreateFileW(h.exchange.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        const CallResult r = import(h, "nfe", nfe_key.c_str(), folder.c_str(), "Sim");
        CloseHandle(held);
        results.check(r.boxes() == 1 && r.seen[0].text == through_ansi(creation), test,
                      r.boxes() ? "[" + printable(r.seen[0].text) + "]" : "no box, even with \"Sim\"");
        results.check(r.ini == std::optional<std::string>("[OLD]\r\n"), test, "the old file is left as it was");
        DeleteFileW(h.exchange.c_str());
    }

    // An abort message is shown whatever modo_silencioso says.
    for (const char* modo : {"", "Sim"}) {
        const std::string test = std::string("sem_protocolo_modo_") + (*modo ? modo : "vazio");
        DialogPlan plan{false, windows_path(h.data, "avulsos/nfephp-nfe200-unsigned.xml")};
        const CallResult r = import(h, "nfe", "", "", modo, plan);
        results.check(r.boxes() == 1 && r.seen.back().text == through_ansi(nfe_no_protocol), test,
                      "the protocol message" + (r.boxes() ? " [" + printable(r.seen.back().text) + "]" : ""));
        results.check(!r.ini, test, "no exchange file");
    }

    // A file that is not well-formed, chosen in the dialog: MSXML's reason
    // inside the library's own frame.
    {
        const std::string test = "xml_invalido_no_dialogo";
        DialogPlan plan{false, windows_path(h.data, "avulsos/invalido.xml")};
        const CallResult r = import(h, "nfe", "", "", "", plan);
        const std::wstring start = through_ansi("Arquivo XML Inválido. ");
        const std::wstring end = through_ansi(abortada);
        const bool shaped = r.boxes() == 1 && r.seen.back().text.rfind(start, 0) == 0 &&
                            r.seen.back().text.size() > end.size() &&
                            r.seen.back().text.compare(r.seen.back().text.size() - end.size(), end.size(), end) == 0 &&
                            r.seen.back().text.find(L"\r\nLine: ") != std::wstring::npos;
        results.check(shaped, test, r.boxes() ? "[" + printable(r.seen.back().text) + "]" : "no box");
        results.check(!r.ini, test, "no exchange file");
    }
}

void host_strings(Host& h) {
    const std::string test = "strings_do_host";
    const Expected want = read_expected(h, "nfe_busca");
    const std::wstring folder = h.data + L"\\nfe";
    for (const std::int32_t count : {1, 7}) {
        HostString chave(nfe_key, count);
        HostString pasta(ansi(folder), count);
        HostString modo("Sim", -1);
        h.watcher.start_case({}, h.exchange, h.window);
        const int moved = call_checked(h.lib.nfe, chave.chars(), pasta.chars(), modo.chars());
        const auto seen = h.watcher.finish_case();
        results.check(moved == 0, test, "stack balanced");
        results.check(chave.unchanged() && pasta.unchanged(), test,
                      "reference counts back at " + std::to_string(count) + ": " + std::to_string(chave.refcount()) +
                          ", " + std::to_string(pasta.refcount()));
        results.check(modo.unchanged() && modo.refcount() == -1, test, "the constant string is never counted");
        results.check(seen.empty(), test, "silent: no box");
        const auto ini = read_bytes(h.exchange);
        results.check(ini.has_value() == want.ini.has_value(), test, "same outcome as the Linux build");
        if (ini && want.ini) compare_ini(test, *ini, *want.ini, folder);
    }
}

struct ThreadCheck {
    Host* h;
    DWORD model;  // COINIT_* or ~0 for none
    HRESULT after = E_FAIL;
    bool completed = false;
    int stack = -1;
};

DWORD WINAPI com_thread(void* p) {
    auto& t = *static_cast<ThreadCheck*>(p);
    if (t.model != ~0UL) CoInitializeEx(nullptr, t.model);
    const std::string folder = ansi(t.h->data + L"\\nfe");
    DeleteFileW(t.h->exchange.c_str());
    t.stack = call_checked(t.h->lib.nfe, nfe_key.c_str(), folder.c_str(), "Sim");
    t.completed = exists(t.h->exchange);
    // Which apartment is the thread in now? Asking for the other model
    // answers RPC_E_CHANGED_MODE while one is still in force.
    const DWORD probe = t.model == COINIT_APARTMENTTHREADED ? COINIT_MULTITHREADED : COINIT_APARTMENTTHREADED;
    t.after = CoInitializeEx(nullptr, probe);
    if (SUCCEEDED(t.after)) CoUninitialize();
    if (t.model != ~0UL) CoUninitialize();
    return 0;
}

void com_models(Host& h) {
    struct {
        const char* test;
        DWORD model;
        HRESULT after;  // the probe's answer after the call
    } cases[] = {
        {"com_nao_inicializado", ~0UL, S_OK},  // initialised for the call and undone
        {"com_sta_do_host", COINIT_APARTMENTTHREADED, RPC_E_CHANGED_MODE},
        {"com_mta_do_host", COINIT_MULTITHREADED, RPC_E_CHANGED_MODE},
    };
    for (const auto& c : cases) {
        ThreadCheck t{&h, c.model};
        h.watcher.start_case({}, h.exchange, nullptr);
        HANDLE thread = CreateThread(nullptr, 0, com_thread, &t, 0, nullptr);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        const auto seen = h.watcher.finish_case();
        results.check(t.completed, c.test, "the document was found and imported");
        results.check(seen.empty(), c.test, "no box");
        results.check(t.stack == 0, c.test, "stack balanced");
        char hr[16];
        std::snprintf(hr, sizeof hr, "0x%08lX", static_cast<unsigned long>(t.after));
        results.check(t.after == c.after, c.test, std::string("apartment after the call: ") + hr);
    }
}

void fault_contained(Host& h) {
    const std::string test = "falha_de_memoria_contida";
    write_bytes(h.exchange, "[OLD]\r\n");
    const auto* bad = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(0x10));
    const CallResult r = import(h, "nfe", bad, "", "");
    const std::string text =
        "O Sistema Encontrou um Erro Inesperado ao Importar o Arquivo XML: Exceção 0xC0000005." + abortada;
    results.check(r.boxes() == 1 && r.seen[0].text == through_ansi(text), test,
                  r.boxes() ? "[" + printable(r.seen[0].text) + "]" : "no box");
    results.check(!r.ini, test, "no exchange file");
    results.check(r.stack == 0, test, "stack balanced");
    // The library is usable afterwards.
    const std::string folder = ansi(h.data + L"\\nfe");
    const CallResult again = import(h, "nfe", nfe_key.c_str(), folder.c_str(), "Sim");
    results.check(again.ini.has_value(), test, "the next call imports normally");
}

// A call made from the host's window procedure while a box of a running
// call is up.
struct Nested {
    ExportFn fn = nullptr;
    std::string pasta;
    int calls = 0;
    int stack = -1;
} nested;

LRESULT CALLBACK host_window_proc(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_APP && nested.fn) {
        ++nested.calls;
        nested.stack = call_checked(nested.fn, (nfe_key + "9").c_str(), nested.pasta.c_str(), "");
        return 0;
    }
    return DefWindowProcW(window, message, w, l);
}

void nested_call(Host& h) {
    const std::string test = "chamada_aninhada";
    nested = {h.lib.nfe, ansi(h.data + L"\\nfe"), 0, -1};
    DialogPlan plan;
    plan.reenter = true;
    const CallResult r =
        import(h, "cte", "41181028796029000140570260000000081486169212", ansi(h.data + L"\\cte").c_str(), "", plan);
    results.check(nested.calls == 1, test, "the host's window procedure ran while the box was up");
    results.check(r.boxes() == 1 && r.seen[0].text == through_ansi(cte_not_found), test,
                  "only the outer call's box: " + std::to_string(r.boxes()));
    results.check(nested.stack == 0 && r.stack == 0, test, "stack balanced in both calls");
    nested.fn = nullptr;
}

// The exchange folder's temporary files of the exchange file.
std::vector<std::wstring> temporaries(const Host& h) {
    std::vector<std::wstring> names;
    const std::wstring folder = h.exchange.substr(0, h.exchange.rfind(L'\\') + 1);
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L".Integracao_Docs_Fiscal.ini.*.tmp").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do names.push_back(folder + found.cFileName);
    while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

// Another process running imports without end ("laco"), stopped with
// TerminateProcess at random moments: the name holds the old file, the
// complete new one or nothing, and the next call removes the temporary files
// the dead processes left, and only those.
void atomic_write(Host& h) {
    const std::string test = "gravacao_atomica";
    const std::string folder = ansi(h.data + L"\\nfe");
    const CallResult complete = import(h, "nfe", nfe_key.c_str(), folder.c_str(), "Sim");
    results.check(complete.ini.has_value(), test, "a complete import first");
    if (!complete.ini) return;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" laco \"" + h.data + L"\"";
    const std::string old = "[IDENTIFICACAO]\r\nChave_Acesso=antiga\r\n";
    unsigned seed = GetTickCount();
    int odd = 0, kept = 0, replaced = 0, none = 0;
    for (int round = 0; round < 10; ++round) {
        write_bytes(h.exchange, old);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
            results.check(false, test, "start the importing process");
            return;
        }
        seed = seed * 1103515245u + 12345u;
        Sleep(300 + (seed >> 16) % 2000);
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        const auto found = read_bytes(h.exchange);
        if (!found)
            ++none;
        else if (*found == old)
            ++kept;
        else if (*found == *complete.ini)
            ++replaced;
        else
            ++odd;
    }
    std::printf("%s: 10 stops left the old file %d times, the new one %d, none %d, another %d\n", test.c_str(), kept,
                replaced, none, odd);
    results.check(odd == 0, test, std::to_string(odd) + " of 10 stops left a file that is neither old nor complete");

    // A leftover still open in a running process stays; the dead ones go.
    const std::wstring held =
        h.exchange.substr(0, h.exchange.rfind(L'\\') + 1) + L".Integracao_Docs_Fiscal.ini.1.0123456789abcdef.tmp";
    HANDLE open = CreateFileW(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    FILETIME long_ago{0, 0x01000000};
    SetFileTime(open, nullptr, nullptr, &long_ago);
    const CallResult next = import(h, "nfe", nfe_key.c_str(), folder.c_str(), "Sim");
    results.check(next.ini == complete.ini, test, "the next call completes");
    const auto left = temporaries(h);
    results.check(left.size() == 1 && left[0] == held, test,
                  "only the open temporary file is left: " + std::to_string(left.size()));
    CloseHandle(open);
    DeleteFileW(held.c_str());
}

// A hard link or a symbolic link at the exchange file's name is replaced,
// never written through.
void links(Host& h) {
    const std::string test = "ligacoes";
    const std::string folder = ansi(h.data + L"\\nfe");
    const std::wstring target = h.exchange + L".alvo";
    struct {
        const char* what;
        bool symbolic;
    } cases[] = {{"hard link", false}, {"symbolic link", true}};
    for (const auto& c : cases) {
        DeleteFileW(h.exchange.c_str());
        write_bytes(target, "intacto");
        const bool made = c.symbolic ? CreateSymbolicLinkW(h.exchange.c_str(), target.c_str(), 0) != 0
                                     : CreateHardLinkW(h.exchange.c_str(), target.c_str(), nullptr) != 0;
        if (!made) {
            std::printf("%s: skipped, this system cannot make a %s (error %lu)\n", test.c_str(), c.what,
                        GetLastError());
            continue;
        }
        const CallResult r = import(h, "nfe", nfe_key.c_str(), folder.c_str(), "Sim");
        results.check(r.ini.has_value(), test, std::string(c.what) + ": the import completes");
        results.check(read_bytes(target) == std::optional<std::string>("intacto"), test,
                      std::string(c.what) + ": its target is untouched");
    }
    DeleteFileW(target.c_str());
}

// Files whose names the ANSI code page cannot hold, on the dialog way:
// the document chosen in a folder named so (only the dialog can name it),
// and a cancellation named so beside a document, with the index and
// without it. The file is read by its true name; the box, the exchange
// file and the result show the name through the code page.
void unicode_names(Host& h) {
    const std::string key = "35240612345678000195550010000012341000012345";
    const auto document = read_bytes(h.data + L"\\amostra\\nfe-exemplo.xml");
    results.check(document.has_value(), "nomes_unicode", "the sample NF-e is there");
    if (!document) return;
    const std::string cancellation =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><procEventoNFe xmlns=\"http://www.portalfiscal.inf.br/nfe\" "
        "versao=\"1.00\"><evento versao=\"1.00\"><infEvento><tpAmb>1</tpAmb><chNFe>" +
        key +
        "</chNFe><tpEvento>110111</tpEvento></infEvento></evento><retEvento versao=\"1.00\"><infEvento><tpAmb>1</"
        "tpAmb><cStat>135</cStat><chNFe>" +
        key +
        "</chNFe><tpEvento>110111</tpEvento><dhRegEvento>2024-06-11T10:00:00-03:00</dhRegEvento><nProt>"
        "135240000999999</nProt></infEvento></retEvento></procEventoNFe>";
    const std::string event_name = "evento-\xc5\x82-\xf0\x9f\x98\x80.xml";  // ł and an emoji
    const std::string cancelled = "A NFe foi Cancelada: o Arquivo " + event_name +
                                  " Contém o Evento de Cancelamento 110111 (Situação 135)." + abortada;

    // The document alone in a folder named with ł: imported, its path
    // written through the code page.
    const std::wstring alone = h.data + L"\\nota-\u0142";
    CreateDirectoryW(alone.c_str(), nullptr);
    write_bytes(alone + L"\\nfe.xml", *document);
    for (const wchar_t* index : {L"", L"1"}) {
        const std::string test = std::string("nomes_unicode_documento") + (*index ? "_sem_indice" : "");
        SetEnvironmentVariableW(L"IDF_SEM_INDICE", *index ? index : nullptr);
        DeleteFileW(h.exchange.c_str());
        const CallResult r = import(h, "nfe", "", "", "Sim", DialogPlan{false, alone + L"\\nfe.xml"});
        // The path in the code page: ł becomes '?', never a look-alike.
        const std::string want = directory_key + ansi(through_ansi(to_utf8(alone + L"\\nfe.xml")));
        bool written = false;
        for (const std::string& line : split_crlf(r.ini.value_or(""))) written = written || line == want;
        results.check(r.ini.has_value() && r.boxes() == 0, test, "imported: " + std::to_string(r.boxes()) + " boxes");
        results.check(written, test, "Diretorio_Arquivo_XML through the code page: " + want);

        // A cancellation named with ł and an emoji beside it: refused.
        const std::wstring event = alone + L"\\" + from_utf8(event_name);
        write_bytes(event, cancellation);
        const CallResult refused = import(h, "nfe", "", "", "", DialogPlan{false, alone + L"\\nfe.xml"});
        results.check(
            refused.boxes() == 1 && refused.seen.back().text == through_ansi(cancelled), test,
            "the cancellation message: " + (refused.boxes() ? printable(refused.seen.back().text) : "no box"));
        results.check(!refused.ini, test, "no exchange file");
        DeleteFileW(event.c_str());
    }

    // The call for hosts without a desktop, the file named in ANSI, the
    // cancellation beside it named with ł and an emoji.
    const std::wstring folder = h.data + L"\\cancelada-unicode";
    CreateDirectoryW(folder.c_str(), nullptr);
    write_bytes(folder + L"\\nfe.xml", *document);
    write_bytes(folder + L"\\" + from_utf8(event_name), cancellation);
    for (const wchar_t* index : {L"", L"1"}) {
        const std::string test = std::string("nomes_unicode_idf") + (*index ? "_sem_indice" : "");
        SetEnvironmentVariableW(L"IDF_SEM_INDICE", *index ? index : nullptr);
        const std::wstring out = h.data + L"\\saida-unicode.ini";
        for (const char* chave : {"", key.c_str()}) {
            const std::string xml = *chave ? "" : ansi(folder + L"\\nfe.xml");
            const std::string pasta = *chave ? ansi(folder) : "";
            const HeadlessRun run =
                call_headless(h.lib.module, h.watcher, h.window, "nfe", chave, pasta.c_str(), xml.c_str(), out);
            const std::string way = *chave ? "search" : "dialog";
            results.check(run.code == 1 && !run.ini, test, way + ": returned " + std::to_string(run.code));
            results.check(run.result.find("\"cancelamento\":{\"arquivo\":\"") != std::string::npos &&
                              run.result.find("\\\\" + event_name + "\",\"tpEvento\":\"110111\"") != std::string::npos,
                          test, way + ": the cancellation in UTF-8: " + run.result);
        }
    }
    SetEnvironmentVariableW(L"IDF_SEM_INDICE", nullptr);
}

HWND make_window() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = host_window_proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"IdfHostWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"Host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                           nullptr, wc.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: idf_win_host GROUP DATA_DIR\n");
        return 2;
    }
    Host h;
    h.group = argv[1];
    h.data = from_utf8(argv[2]);
    h.start_folder = current_folder();
    h.exchange = module_folder() + L"\\Integracao_Docs_Fiscal.ini";
    if (h.group == "raiz") h.exchange = module_folder() + L"\\\\Integracao_Docs_Fiscal.ini";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    h.window = make_window();

    h.lib.module = LoadLibraryW(L"Integracao_Docs_Fiscal.dll");
    results.check(h.lib.module != nullptr, "carga", "the DLL loads from the host's folder");
    if (!h.lib.module) {
        std::printf("0 passed, 1 failed\n");
        return 1;
    }
    h.lib.nfe =
        reinterpret_cast<ExportFn>(reinterpret_cast<void*>(GetProcAddress(h.lib.module, "importa_arquivo_xml_nfe")));
    h.lib.cte =
        reinterpret_cast<ExportFn>(reinterpret_cast<void*>(GetProcAddress(h.lib.module, "importa_arquivo_xml_cte")));
    results.check(h.lib.nfe && h.lib.cte, "carga", "both exports found by name");
    if (h.group == "laco" && h.lib.nfe) {
        // Imports without end, until stopped from outside (atomic_write).
        const std::string folder = ansi(h.data + L"\\nfe");
        for (;;) h.lib.nfe(nfe_key.c_str(), folder.c_str(), "Sim");
    }
    const auto by_ordinal = [&](int n) {
        return reinterpret_cast<void*>(GetProcAddress(h.lib.module, MAKEINTRESOURCEA(n)));
    };
    results.check(
        by_ordinal(1) == reinterpret_cast<void*>(h.lib.cte) && by_ordinal(2) == reinterpret_cast<void*>(h.lib.nfe),
        "carga", "ordinal 1 is the CT-e import, 2 the NF-e import");
    char decimal[16] = {}, short_date[64] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, decimal, sizeof decimal);
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, short_date, sizeof short_date);
    std::printf("host: %s, ANSI code page %u, decimal \"%s\", short date \"%s\", host folder %s\n", h.group.c_str(),
                GetACP(), decimal, short_date, printable(module_folder()).c_str());

    const std::vector<Case> cases = read_cases(h.data, h.group);
    results.check(!cases.empty(), "casos", "cases found for the group");
    for (const Case& c : cases) run_case(h, c);

    if (h.group == "brasil") {
        headless_exports(h.lib.module, h.watcher, h.window, h.data);
        dialog_cancelled(h);
        null_pointers(h);
        exact_messages(h);
        host_strings(h);
        com_models(h);
        fault_contained(h);
        nested_call(h);
        atomic_write(h);
        links(h);
        unicode_names(h);
    }
    if (h.group == "raiz") {
        const std::wstring folder = module_folder();
        results.check(folder.size() == 2 && folder[1] == L':', "raiz", "the host runs from a drive root");
        results.check(exists(h.exchange), "raiz", "the exchange file is in the root: " + printable(h.exchange));
    }

    DeleteFileW(h.exchange.c_str());
    DestroyWindow(h.window);
    FreeLibrary(h.lib.module);
    std::printf("%d passed, %d failed\n", results.passed(), results.failed());
    return results.failed() == 0 ? 0 : 1;
}
