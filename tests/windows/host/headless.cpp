// The calls for hosts without a desktop, as a service would make them: no
// window of any kind, the current folder kept, the exchange file at the
// path given, the result object read back.
#include <cstdio>

#include "host.hpp"

namespace host {

namespace {

using ResultFn = int(__stdcall*)(char*, int*);

template <typename Fn>
Fn by_name(HMODULE dll, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

}  // namespace

HeadlessRun call_headless(HMODULE dll, Watcher& watcher, HWND window, const std::string& type, const char* chave,
                          const char* pasta, const char* xml, const std::wstring& out) {
    const auto fn = by_name<HeadlessFn>(dll, type == "nfe" ? "idf_importa_nfe" : "idf_importa_cte");
    const auto resultado = by_name<ResultFn>(dll, "idf_ultimo_resultado");
    HeadlessRun run;
    if (!fn || !resultado) return run;
    const std::wstring before = current_folder();
    watcher.start_case({}, out, window);
    run.code = fn(chave, pasta, xml, ansi(out).c_str());
    run.seen = watcher.finish_case();
    run.folder_kept = current_folder() == before;
    run.ini = read_bytes(out);
    int size = 0;
    if (resultado(nullptr, &size) == 1 && size > 0) {
        std::string buffer(static_cast<std::size_t>(size), 'x');
        run.result_code = resultado(buffer.data(), &size);
        run.result = buffer.substr(0, buffer.find('\0'));
    }
    return run;
}

std::string json_messages(const std::vector<std::string>& texts) {
    std::string out = "[";
    for (const std::string& text : texts) {
        if (out.size() > 1) out += ',';
        out += '"';
        for (const char c : text) {
            switch (c) {
                case '"':
                    out += "\\\"";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\n':
                    out += "\\n";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    out += c;
            }
        }
        out += '"';
    }
    return out + "]";
}

void headless_exports(HMODULE dll, Watcher& watcher, HWND window, const std::wstring& data) {
    const std::string test = "idf_exportacoes";
    const auto ordinal = [&](int n) { return reinterpret_cast<void*>(GetProcAddress(dll, MAKEINTRESOURCEA(n))); };
    const auto named = [&](const char* name) { return reinterpret_cast<void*>(GetProcAddress(dll, name)); };
    results.check(named("idf_importa_cte") && ordinal(3) == named("idf_importa_cte"), test, "idf_importa_cte is 3");
    results.check(named("idf_importa_nfe") && ordinal(4) == named("idf_importa_nfe"), test, "idf_importa_nfe is 4");
    results.check(named("idf_ultimo_resultado") && ordinal(5) == named("idf_ultimo_resultado"), test,
                  "idf_ultimo_resultado is 5");
    const auto resultado = by_name<ResultFn>(dll, "idf_ultimo_resultado");
    const auto nfe = by_name<HeadlessFn>(dll, "idf_importa_nfe");
    if (!resultado || !nfe) return;

    // Invalid arguments: 2, nothing touched, no result.
    const std::wstring out = data + L"\\saida-invalida.ini";
    write_bytes(out, "[OLD]\r\n");
    const std::string key = "26180875335849000115550010000016871192213331";
    const std::string folder = ansi(data + L"\\nfe");
    const auto* bad = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(0x10));
    struct {
        const char *chave, *xml, *saida;
    } invalid[] = {
        {key.c_str(), nullptr, nullptr}, {key.c_str(), "", "  "}, {nullptr, nullptr, "x.ini"}, {" ", "", "x.ini"},
        {key.c_str(), nullptr, bad},  // a pointer that cannot be read
    };
    watcher.start_case({}, out, window);
    for (const auto& c : invalid) {
        char buffer[8] = "xxxxxxx";
        int size = sizeof buffer;
        results.check(nfe(c.chave, folder.c_str(), c.xml, c.saida) == 2, test, "invalid arguments return 2");
        results.check(resultado(buffer, &size) == 2 && size == 0 && buffer[0] == '\0', test,
                      "no result after invalid arguments");
    }
    results.check(watcher.finish_case().empty(), test, "no window for invalid arguments");
    results.check(read_bytes(out) == std::optional<std::string>("[OLD]\r\n"), test, "the old file untouched");
    results.check(!exists(current_folder() + L"\\x.ini"), test, "no file written");
    DeleteFileW(out.c_str());

    // The copy protocol: null buffer, one byte short, exact size.
    const HeadlessRun run = call_headless(dll, watcher, window, "nfe", key.c_str(), folder.c_str(), nullptr, out);
    results.check(run.code == 0 && run.result_code == 0, test, "completed: " + std::to_string(run.code));
    const int needed = static_cast<int>(run.result.size()) + 1;
    int size = 0;
    results.check(resultado(nullptr, &size) == 1 && size == needed, test, "null buffer: the size it needs");
    std::string buffer(static_cast<std::size_t>(needed), 'x');
    size = needed - 1;
    results.check(resultado(buffer.data(), &size) == 1 && size == needed && buffer[0] == '\0', test,
                  "one byte short: nothing copied, the buffer empty");
    size = needed;
    results.check(resultado(buffer.data(), &size) == 0 && buffer == run.result + '\0', test, "exact size: copied");
    results.check(resultado(buffer.data(), nullptr) == 1, test, "no size: nothing copied");
    DeleteFileW(out.c_str());

    // The exchange file never replaces a file to import, however spelt: 2,
    // the file untouched, no result.
    const auto document = read_bytes(data + L"\\avulsos\\nfelib-nfe400-35-1808-47449.xml");
    const std::wstring own = data + L"\\entrada-saida";
    CreateDirectoryW(own.c_str(), nullptr);
    const std::wstring input = own + L"\\nota.xml";
    results.check(document && write_bytes(input, *document), test, "the document copied");
    const std::string own_name = ansi(own.substr(own.rfind(L'\\') + 1));
    const std::string other_spelling = ansi(own) + "\\..\\" + own_name + "\\.\\NOTA.XML";
    const std::string own_folder = ansi(own);
    const std::string input_path = ansi(input);
    struct {
        const char *what, *chave, *pasta, *xml;
    } inputs[] = {
        {"the file to import as the output", "", "", input_path.c_str()},
        {"a file the search lists as the output", key.c_str(), own_folder.c_str(), nullptr},
    };
    watcher.start_case({}, input, window);
    for (const auto& c : inputs) {
        char small[8] = "xxxxxxx";
        int room = sizeof small;
        results.check(nfe(c.chave, c.pasta, c.xml, other_spelling.c_str()) == 2, test, std::string(c.what) + ": 2");
        results.check(resultado(small, &room) == 2, test, std::string(c.what) + ": no result");
        results.check(read_bytes(input) == document, test, std::string(c.what) + ": the document untouched");
    }
    results.check(watcher.finish_case().empty(), test, "no window when the output is an input");
    DeleteFileW(input.c_str());
    RemoveDirectoryW(own.c_str());

    // A device name as the output: the creation failure, the device left
    // alone (nothing named NUL appears in the folder).
    for (const std::wstring& device : {data + L"\\NUL", std::wstring(L"NUL")}) {
        const HeadlessRun nul =
            call_headless(dll, watcher, window, "nfe", key.c_str(), folder.c_str(), nullptr, device);
        results.check(nul.code == 1, test, "NUL as the output: " + std::to_string(nul.code));
        results.check(nul.seen.empty(), test, "NUL as the output: no window");
        results.check(nul.result.find("Problemas ao Criar o Arquivo Integracao_Docs_Fiscal.ini") != std::string::npos,
                      test, "NUL as the output: the creation message: " + nul.result);
    }
}

}  // namespace host
