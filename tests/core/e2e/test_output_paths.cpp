// Where the exchange file goes and what may be removed to put it there,
// through the headless calls and the command-line tool: never a file to
// import, never anything but a file or a link, paths as the system resolves
// them, and a return of 1 that says when an old file is still there. Also a
// host that forks while another of its threads is inside a call.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "common/messages.hpp"
#include "core/e2e/e2e_support.hpp"

namespace idf::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string ini_name = "Integracao_Docs_Fiscal.ini";
const std::string creation_failed(msg::erro_criar_arquivo);
const std::string old_file_kept(msg::arquivo_anterior_mantido);

// The folders of one case: the current folder of the process, the
// downloaded documents (an NF-e and a CT-e), the output folder, and a
// folder elsewhere reached through the link work/lnk -> far/real/sub.
struct Scene {
    TempDir work;
    TempDir xml;
    TempDir out;
    TempDir far;
    Scene() {
        copy_document(xml, nfe_document, "nota.xml");
        copy_document(xml, cte_document, "conhecimento.xml");
        fs::create_directories(far.path() / "real" / "sub");
        fs::create_directories(far.path() / "real" / "p2");
        copy_document(far, nfe_document, "real/doc.xml");
        copy_document(far, nfe_document, "real/p2/nota.xml");
        // What a textual ".." would take instead: another document.
        copy_document(work, cte_document, "doc.xml");
        work.write("victim.ini", "[VITIMA]\r\n");
        fs::create_directory_symlink(far.path() / "real" / "sub", work.path() / "lnk");
    }
    ~Scene() {
        for (const std::string& folder : mounts) ::umount2(folder.c_str(), MNT_DETACH);
    }
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;
    // A new, empty tmpfs over `folder` until the scene ends (root only).
    void mount_tmpfs(const std::string& folder) {
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, nullptr) == 0) mounts.push_back(folder);
    }
    std::vector<std::string> mounts;
    std::string ini() const { return out.str() + "/" + ini_name; }
    std::string real(const std::string& name) const { return far.str() + "/real/" + name; }
};

// One output-path case: what stands at the path before, the call's
// arguments, the code (exit status of the tool) and what must hold after.
struct Case {
    std::string what;
    std::function<void(Scene&)> before;
    std::string chave, pasta, arquivo_xml, saida;
    int code;
    std::vector<std::string> mensagens;  // checked when code is 1
    std::function<void(const Scene&)> after;
    bool sem_indice = false;  // the tool reads every file, its listing without versions
};

// What the link at `path` leads to; empty when it is no link.
fs::path link_target(const std::string& path) {
    std::error_code error;
    return fs::read_symlink(path, error);
}

void expect_unchanged(const std::string& path, const std::string& original) {
    EXPECT_EQ(read_bytes(path), read_bytes(original)) << path;
}

// The special entries: for each kind, the call aborts with the creation
// message and the node is still there, of its kind; the same for a link to
// such a node, or to a folder (as /dev/stdout leads to the terminal), which
// stays a link to it.
std::vector<Case> special_cases(const std::function<std::string(const Scene&)>& at) {
    std::vector<Case> cases;
    for (const std::string& kind : special_kinds()) {
        cases.push_back({"a " + kind + " at the path",
                         [=](Scene& s) { make_special(at(s), kind); },
                         nfe_key,
                         "",
                         "",
                         "",
                         1,
                         {creation_failed},
                         [=](const Scene& s) { EXPECT_TRUE(is_special(at(s), kind)); }});
        cases.push_back({"a link to a " + kind + " at the path",
                         [=](Scene& s) {
                             make_special(s.far.str() + "/" + kind, kind);
                             fs::create_symlink(s.far.path() / kind, at(s));
                         },
                         nfe_key,
                         "",
                         "",
                         "",
                         1,
                         {creation_failed},
                         [=](const Scene& s) {
                             EXPECT_EQ(link_target(at(s)), s.far.path() / kind);
                             EXPECT_TRUE(is_special(s.far.str() + "/" + kind, kind));
                         }});
    }
    cases.push_back({"a link to a folder at the path",
                     [=](Scene& s) { fs::create_directory_symlink(s.far.path() / "real", at(s)); },
                     nfe_key,
                     "",
                     "",
                     "",
                     1,
                     {creation_failed},
                     [=](const Scene& s) {
                         EXPECT_EQ(link_target(at(s)), s.far.path() / "real");
                         EXPECT_FALSE(fs::exists(s.real(ini_name)));
                     }});
    return cases;
}

TEST(OutputPaths, HeadlessCalls) {
    std::vector<Case> cases = {
        {"the document itself, spelt another way",
         nullptr,
         "",
         "",
         "{XML}/nota.xml",
         "{XML}/../{XMLNAME}/./nota.xml",
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.xml.str() + "/nota.xml", nfe_document); }},
        {"a hard link of the document",
         [](Scene& s) { fs::create_hard_link(s.xml.path() / "nota.xml", s.ini()); },
         "",
         "",
         "{XML}/nota.xml",
         "{OUT}/" + ini_name,
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.ini(), nfe_document); }},
        {"the wanted document in the searched folder",
         nullptr,
         nfe_key,
         "{XML}",
         "",
         "{XML}/nota.xml",
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.xml.str() + "/nota.xml", nfe_document); }},
        {"another document the search lists",
         nullptr,
         nfe_key,
         "{XML}",
         "",
         "{XML}/conhecimento.xml",
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.xml.str() + "/conhecimento.xml", cte_document); }},
        {"the document at the output, chosen through a link",
         [](Scene& s) {
             copy_document(s.out, nfe_document, ini_name);
             fs::create_symlink(s.ini(), s.xml.path() / "link.xml");
         },
         "",
         "",
         "{XML}/link.xml",
         "{OUT}/" + ini_name,
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.ini(), nfe_document); }},
        {"a file of the same number on another file system",
         [](Scene& s) {
             // Fresh file systems number their first files alike: the
             // document and the old file share an inode number, not a file.
             s.mount_tmpfs(s.xml.str());
             s.mount_tmpfs(s.out.str());
             struct stat document {};
             struct stat old {};
             ::stat(copy_document(s.xml, nfe_document, "nota.xml").c_str(), &document);
             ::stat(s.out.write(ini_name, "[OLD]\r\n").c_str(), &old);
             if (document.st_ino != old.st_ino || document.st_dev == old.st_dev)
                 std::cout << "no two tmpfs here: the document and the output are only different files\n";
         },
         "",
         "",
         "{XML}/nota.xml",
         "{OUT}/" + ini_name,
         0,
         {},
         [](const Scene& s) { EXPECT_TRUE(fs::is_regular_file(s.ini())); }},
        {"a file beside the chosen document, read for its events",
         nullptr,
         "",
         "",
         "{XML}/nota.xml",
         "{XML}/conhecimento.xml",
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.xml.str() + "/conhecimento.xml", cte_document); }},
        {"an input through '..' after a link",
         nullptr,
         "",
         "",
         "lnk/../doc.xml",
         "{OUT}/" + ini_name,
         0,
         {},
         [](const Scene& s) {
             const std::string ini = read_bytes(s.ini()).value_or("");
             EXPECT_NE(ini.find("Diretorio_Arquivo_XML=" + s.work.str() + "/lnk/../doc.xml\r\n"), std::string::npos)
                 << ini;
         }},
        {"an output through '..' after a link",
         nullptr,
         nfe_key,
         "{XML}",
         "",
         "lnk/../victim.ini",
         0,
         {},
         [](const Scene& s) {
             EXPECT_EQ(read_bytes(s.work.str() + "/victim.ini"), "[VITIMA]\r\n");
             EXPECT_TRUE(fs::is_regular_file(s.real("victim.ini")));
         }},
        {"a folder through '..' after a link",
         nullptr,
         nfe_key,
         "lnk/../p2",
         "",
         "{OUT}/" + ini_name,
         0,
         {},
         [](const Scene& s) { EXPECT_TRUE(fs::is_regular_file(s.ini())); }},
        {"a name of 255 bytes",
         nullptr,
         nfe_key,
         "{XML}",
         "",
         "{OUT}/" + std::string(255, 'n'),
         0,
         {},
         [](const Scene& s) { EXPECT_TRUE(fs::is_regular_file(s.out.path() / std::string(255, 'n'))); }},
    };
    for (Case& c : special_cases([](const Scene& s) { return s.ini(); })) {
        c.saida = "{OUT}/" + ini_name;
        c.pasta = "{XML}";
        cases.push_back(std::move(c));
    }
    cases.push_back({"an old file in a read-only folder",
                     [](Scene& s) { s.out.write(ini_name, "[OLD]\r\n"); },
                     nfe_key,
                     "{XML}",
                     "",
                     "{OUT}/" + ini_name,
                     1,
                     {creation_failed, old_file_kept},
                     [](const Scene& s) { EXPECT_EQ(read_bytes(s.ini()), "[OLD]\r\n"); }});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        if (c.before) c.before(s);
        const auto spelt = [&](std::string text) {
            for (const auto& [word, path] : {std::pair{"{XMLNAME}", s.xml.path().filename().string()},
                                             std::pair{"{XML}", s.xml.str()}, std::pair{"{OUT}", s.out.str()}})
                if (const auto at = text.find(word); at != std::string::npos) text.replace(at, strlen(word), path);
            return text;
        };
        std::optional<ReadOnlyFolder> read_only;
        if (c.mensagens.size() == 2) {
            read_only.emplace(s.out.str());
            if (!read_only->ready()) {
                std::cout << "skipped, no read-only folder here: " << c.what << '\n';
                continue;
            }
        }
        const auto r =
            run_process(IDF_HEADLESS_HOST_PATH,
                        {"call", "nfe", c.chave, spelt(c.pasta), spelt(c.arquivo_xml), spelt(c.saida)}, s.work.str());
        read_only.reset();
        const std::string code = r.out.substr(0, r.out.find('\n'));
        EXPECT_EQ(code, std::to_string(c.code)) << r.out;
        if (c.code == 2) {
            EXPECT_EQ(r.out, "2\n") << "a call refused keeps no result";
        }
        if (c.code == 1) {
            const json result = json::parse(r.out.substr(r.out.find('\n') + 1));
            EXPECT_EQ(result["mensagens"], json(c.mensagens));
            EXPECT_EQ(result["arquivo"], nullptr);
        }
        if (c.after) c.after(s);
    }
}

TEST(OutputPaths, Tool) {
    // The tool writes Integracao_Docs_Fiscal.ini in --saida; a copy of the NF-e
    // under that name stands for a file to import there.
    std::vector<Case> cases = {
        {"the file to import",
         [](Scene& s) { copy_document(s.out, nfe_document, ini_name); },
         "",
         "",
         "{OUT}/../{OUTNAME}/" + ini_name,
         "{OUT}",
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.ini(), nfe_document); }},
        {"a file the search lists",
         [](Scene& s) { copy_document(s.out, nfe_document, ini_name); },
         nfe_key,
         "{OUT}/*.ini",
         "",
         "{OUT}",
         2,
         {},
         [](const Scene& s) { expect_unchanged(s.ini(), nfe_document); }},
        {"an input through '..' after a link",
         nullptr,
         "",
         "",
         "lnk/../doc.xml",
         "{OUT}",
         0,
         {},
         [](const Scene& s) {
             const std::string ini = read_bytes(s.ini()).value_or("");
             EXPECT_NE(ini.find("Diretorio_Arquivo_XML=" + s.work.str() + "/lnk/../doc.xml\r\n"), std::string::npos)
                 << ini;
         }},
        {"an output folder through '..' after a link",
         nullptr,
         nfe_key,
         "{XML}",
         "",
         "lnk/..",
         0,
         {},
         [](const Scene& s) {
             EXPECT_FALSE(fs::exists(s.work.path() / ini_name));
             EXPECT_TRUE(fs::is_regular_file(s.real(ini_name)));
         }},
        {"a folder through '..' after a link",
         nullptr,
         nfe_key,
         "lnk/../p2",
         "",
         "{OUT}",
         0,
         {},
         [](const Scene& s) { EXPECT_TRUE(fs::is_regular_file(s.ini())); }},
    };
    for (Case& c : special_cases([](const Scene& s) { return s.ini(); })) {
        c.saida = "{OUT}";
        c.pasta = "{XML}";
        cases.push_back(std::move(c));
    }
    for (const bool sem_indice : {false, true}) {
        cases.push_back({sem_indice ? "a link in the searched folder to the output, without the index"
                                    : "a link in the searched folder to the output",
                         [](Scene& s) {
                             copy_document(s.out, nfe_document, ini_name);
                             fs::create_symlink(s.ini(), s.xml.path() / "link.xml");
                         },
                         nfe_key,
                         "{XML}",
                         "",
                         "{OUT}",
                         2,
                         {},
                         [](const Scene& s) { expect_unchanged(s.ini(), nfe_document); },
                         sem_indice});
    }
    cases.push_back({"an old file in a read-only folder",
                     [](Scene& s) { s.out.write(ini_name, "[OLD]\r\n"); },
                     nfe_key,
                     "{XML}",
                     "",
                     "{OUT}",
                     1,
                     {creation_failed, old_file_kept},
                     [](const Scene& s) { EXPECT_EQ(read_bytes(s.ini()), "[OLD]\r\n"); }});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Scene s;
        if (c.before) c.before(s);
        const auto spelt = [&](std::string text) {
            for (const auto& [word, path] : {std::pair{"{OUTNAME}", s.out.path().filename().string()},
                                             std::pair{"{XML}", s.xml.str()}, std::pair{"{OUT}", s.out.str()}})
                if (const auto at = text.find(word); at != std::string::npos) text.replace(at, strlen(word), path);
            return text;
        };
        std::vector<std::string> args{"nfe", "--saida", spelt(c.saida), "--json"};
        if (!c.chave.empty()) args.insert(args.end(), {"--chave", c.chave, "--pasta", spelt(c.pasta)});
        if (!c.arquivo_xml.empty()) args.insert(args.end(), {"--arquivo", spelt(c.arquivo_xml)});
        if (c.sem_indice) args.push_back("--sem-indice");
        std::optional<ReadOnlyFolder> read_only;
        if (c.mensagens.size() == 2) {
            read_only.emplace(s.out.str());
            if (!read_only->ready()) {
                std::cout << "skipped, no read-only folder here: " << c.what << '\n';
                continue;
            }
        }
        const auto r = run_process(IDF_CLI_PATH, args, s.work.str());
        read_only.reset();
        EXPECT_EQ(r.exit_code, c.code) << r.out << r.err;
        if (c.code == 2) {
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, std::string(msg::saida_igual_entrada) + "\n");
        }
        if (c.code == 1) {
            EXPECT_EQ(json::parse(r.out)["mensagens"], json(c.mensagens));
        }
        if (c.after) c.after(s);
    }
}

TEST(OutputPaths, AProcessForkedWhileACallRunsCanCallTheLibrary) {
    Scene s;
    const auto r =
        run_process(IDF_HEADLESS_HOST_PATH,
                    {"fork", "10", "nfe", nfe_key, s.xml.str(), s.ini(), s.out.str() + "/child.ini"}, s.work.str());
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, "forks 10 hung 0 failed 0\n") << r.err;
}

}  // namespace
}  // namespace idf::test
