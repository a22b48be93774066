#include "entry/headless_call.hpp"

#include <climits>
#include <cstring>
#include <optional>

#include "values/text.hpp"

namespace idf::entry {

namespace {

std::string copy_argument(const char* text) { return text ? std::string(text) : std::string(); }

// One per thread: a host thread reads the result of its own last call,
// whatever other threads import meanwhile.
thread_local std::optional<std::string> last_result;

}  // namespace

HeadlessArguments::HeadlessArguments(const char* chave, const char* pasta, const char* xml, const char* saida)
    : chave_acesso(copy_argument(chave)),
      pasta_temporaria(copy_argument(pasta)),
      arquivo_xml(copy_argument(xml)),
      arquivo_saida(copy_argument(saida)) {}

bool HeadlessArguments::valid() const {
    return !is_blank(arquivo_saida) && !(is_blank(chave_acesso) && is_blank(arquivo_xml));
}

bool HeadlessArguments::dialog_way() const { return is_blank(chave_acesso); }

void store_result(std::string json) { last_result = std::move(json); }

void forget_result() { last_result.reset(); }

int copy_result(char* buffer, int* tamanho) {
    const int room = tamanho && *tamanho > 0 ? *tamanho : 0;
    if (!last_result) {
        if (buffer && room > 0) buffer[0] = '\0';
        if (tamanho) *tamanho = 0;
        return 2;
    }
    const std::size_t needed = last_result->size() + 1;
    if (tamanho) *tamanho = needed > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(needed);
    if (!buffer || !tamanho || static_cast<std::size_t>(room) < needed) {
        if (buffer && room > 0) buffer[0] = '\0';
        return 1;
    }
    std::memcpy(buffer, last_result->c_str(), needed);
    return 0;
}

}  // namespace idf::entry
