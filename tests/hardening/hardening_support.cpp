#include "hardening/hardening_support.hpp"

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <initializer_list>
#include <thread>

#include "common/platform.hpp"
#include "values/text.hpp"
#include "xml/tree.hpp"

namespace idf::test {

SearchRun search(DocType type, std::string_view key, const std::string& folder) {
    TempDir host;
    RecordingPlatform platform(host.str());
    const Regional regional = Regional::brazilian();
    SearchRun run;
    run.result = run_import(document_type(type), platform, regional, {key, folder, ""});
    run.boxes = platform.boxes;
    run.reads = platform.reads;
    run.exchange_file_exists = read_bytes(run.result.arquivo_ini).has_value();
    const std::string& chosen = run.result.documento;
    if (!chosen.empty()) run.chosen = chosen.substr(chosen.rfind('/') + 1);
    return run;
}

std::string chosen_by_full_parse(DocType type, std::string_view key, const std::string& folder) {
    PosixPlatform platform;
    const auto listing = platform.list_directory(folder);
    if (!listing) return {};
    const std::string wanted = platform.host_to_ansi(key);
    const std::string_view protocol = type == DocType::nfe ? "protNFe" : "protCTe";
    const std::string_view key_name = type == DocType::nfe ? "chNFe" : "chCTe";
    for (const std::string& name : listing->names) {
        const auto bytes = platform.read_file(platform.join_path(listing->folder, name));
        if (!bytes) continue;
        try {
            xml::Document doc;
            doc.load(*bytes, name);
            const xml::Node prot = doc.document_element().find(protocol);
            if (!prot) continue;
            const xml::Node inf = prot.find("infProt");
            if (!inf) continue;
            const xml::Node ch = inf.child(key_name);
            if (is_blank(ch.text())) continue;
            if (to_ansi(ch.text()) == wanted) return name;
        } catch (const std::exception&) {
        }
    }
    return {};
}

namespace {

using namespace std::string_view_literals;

std::string doc(std::string_view head, std::string_view root, std::string_view ns, std::string_view inner,
                std::string_view protocol, std::string_view key_name, std::string_view key_markup) {
    // Appended piece by piece: no temporary strings built by prepending.
    std::string out;
    for (const std::string_view piece : {head,       "<"sv,
                                         root,       " xmlns=\""sv,
                                         ns,         "\" versao=\"4.00\">"sv,
                                         inner,      "<"sv,
                                         protocol,   " versao=\"4.00\"><infProt><tpAmb>1</tpAmb><"sv,
                                         key_name,   ">"sv,
                                         key_markup, "</"sv,
                                         key_name,   "><cStat>100</cStat></infProt></"sv,
                                         protocol,   "></"sv,
                                         root,       ">"sv})
        out += piece;
    return out;
}

}  // namespace

std::string nfe_doc(std::string_view key_markup, std::string_view head) {
    return doc(head, "nfeProc", "http://www.portalfiscal.inf.br/nfe",
               "<NFe><infNFe versao=\"4.00\"><ide><natOp>Venda</natOp></ide></infNFe></NFe>", "protNFe", "chNFe",
               key_markup);
}

std::string cte_doc(std::string_view key_markup, std::string_view head) {
    return doc(head, "cteProc", "http://www.portalfiscal.inf.br/cte",
               "<CTe><infCte versao=\"3.00\"><ide><natOp>Frete</natOp></ide></infCte></CTe>", "protCTe", "chCTe",
               key_markup);
}

std::string to_utf16le(std::string_view utf8) {
    std::string out;
    for (const char16_t c : utf8_to_utf16(utf8)) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

std::string to_utf16be(std::string_view utf8) {
    std::string out;
    for (const char16_t c : utf8_to_utf16(utf8)) {
        out += static_cast<char>(c >> 8);
        out += static_cast<char>(c & 0xFF);
    }
    return out;
}

std::string to_latin1(std::string_view utf8) {
    std::string out;
    for (const char16_t c : utf8_to_utf16(utf8)) out += static_cast<char>(c < 0x100 ? c : '?');
    return out;
}

std::string to_ebcdic037(std::string_view ascii) {
    std::string out;
    for (const char c : ascii) {
        unsigned char e = 0x6F;  // "?"
        if (c >= '0' && c <= '9')
            e = static_cast<unsigned char>(0xF0 + (c - '0'));
        else if (c >= 'a' && c <= 'i')
            e = static_cast<unsigned char>(0x81 + (c - 'a'));
        else if (c >= 'j' && c <= 'r')
            e = static_cast<unsigned char>(0x91 + (c - 'j'));
        else if (c >= 's' && c <= 'z')
            e = static_cast<unsigned char>(0xA2 + (c - 's'));
        else if (c >= 'A' && c <= 'I')
            e = static_cast<unsigned char>(0xC1 + (c - 'A'));
        else if (c >= 'J' && c <= 'R')
            e = static_cast<unsigned char>(0xD1 + (c - 'J'));
        else if (c >= 'S' && c <= 'Z')
            e = static_cast<unsigned char>(0xE2 + (c - 'S'));
        else {
            switch (c) {
                case ' ':
                    e = 0x40;
                    break;
                case '<':
                    e = 0x4C;
                    break;
                case '>':
                    e = 0x6E;
                    break;
                case '?':
                    e = 0x6F;
                    break;
                case '=':
                    e = 0x7E;
                    break;
                case '"':
                    e = 0x7F;
                    break;
                case '/':
                    e = 0x61;
                    break;
                case '.':
                    e = 0x4B;
                    break;
                case ':':
                    e = 0x7A;
                    break;
                case '-':
                    e = 0x60;
                    break;
                case '\n':
                    e = 0x25;
                    break;
                default:
                    break;
            }
        }
        out += static_cast<char>(e);
    }
    return out;
}

ChildOutcome run_in_child(const std::function<int()>& body, std::chrono::seconds limit) {
    ChildOutcome outcome;
    const pid_t pid = ::fork();
    if (pid == 0) {
        int code = 99;
        try {
            code = body();
        } catch (...) {
            code = 98;
        }
        std::_Exit(code);
    }
    if (pid < 0) return outcome;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
        if (done == pid) {
            outcome.ended_in_time = true;
            break;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::wait4(pid, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    outcome.peak_rss_kb = usage.ru_maxrss;
    if (WIFEXITED(status)) outcome.exit_code = WEXITSTATUS(status);
    return outcome;
}

std::string sample_nfe() { return read_bytes(sample_nfe_path()).value(); }

}  // namespace idf::test
