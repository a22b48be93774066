#include "platform/headless_platform.hpp"

#include "common/messages.hpp"
#include "search/folder_scan.hpp"

namespace idf {

HeadlessPlatform::HeadlessPlatform(Platform& base, std::optional<std::string> exchange_file,
                                   std::optional<std::string> chosen_file, bool show_boxes)
    : base_(base),
      exchange_file_(std::move(exchange_file)),
      chosen_file_(std::move(chosen_file)),
      show_boxes_(show_boxes) {}

void HeadlessPlatform::mensagem_atencao(std::string_view text) {
    messages_.emplace_back(text);
    if (show_boxes_) base_.mensagem_atencao(text);
}

std::string HeadlessPlatform::exchange_folder() {
    if (!exchange_file_) return {};
    const std::string& exchange_file = *exchange_file_;
#ifdef _WIN32
    const std::size_t separator = exchange_file.find_last_of("\\/");
    // "C:\file" and "\file": the root keeps its separator.
    const bool root = separator == 0 || (separator == 2 && exchange_file[1] == ':');
#else
    const std::size_t separator = exchange_file.rfind('/');
    const bool root = separator == 0;
#endif
    if (separator == std::string::npos) return {};
    return exchange_file.substr(0, root ? separator + 1 : separator);
}

std::optional<DirectoryListing> HeadlessPlatform::listed(bool of_file, const std::string& argument) {
    for (auto kept = kept_.begin(); kept != kept_.end(); ++kept) {
        if (kept->of_file != of_file || kept->argument != argument) continue;
        std::optional<DirectoryListing> listing = std::move(kept->listing);
        kept_.erase(kept);
        return listing;
    }
    auto listing = of_file ? base_.list_folder_of(argument) : base_.list_directory(argument);
    if (keeping_) kept_.push_back({of_file, argument, listing});
    return listing;
}

ImportResult run_headless(const DocumentType& type, HeadlessPlatform& platform, const Regional& regional,
                          const ImportArguments& arguments) {
    ImportResult result = run_import(type, platform, regional, arguments);
    if (result.old_file_kept) platform.mensagem_atencao(msg::arquivo_anterior_mantido);
    return result;
}

bool output_is_an_input(Platform& platform, const std::string& output, const std::optional<std::string>& chosen,
                        const std::optional<std::string>& search_folder) {
    const auto target = platform.file_identity(output, false);
    if (!target) return false;
    if (chosen && platform.file_identity(*chosen, true) == target) return true;
    // Every file the pass over the folder reads: the search's, or the
    // chosen file's folder.
    std::optional<ScanListing> listing;
    if (search_folder)
        listing = search_listing(platform, *search_folder);
    else if (chosen)
        listing = document_listing(platform, *chosen);
    if (!listing) return false;
    for (std::size_t i = 0; i < listing->names.size(); ++i) {
        // The listing's inode and device, where it gives them, are the identity.
        const auto& version = i < listing->versions.size() ? listing->versions[i] : std::nullopt;
        const auto identity =
            version && version->inode != 0
                ? std::optional<FileIdentity>(FileIdentity{version->device, version->inode})
                : platform.file_identity(platform.join_path(listing->folder, listing->names[i]), true);
        if (identity == target) return true;
    }
    return false;
}

}  // namespace idf
