// A whole CT-e import of arbitrary bytes, by the open dialog and by the
// search of a folder, on the in-memory platform.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    idf::fuzz::import_both_ways(idf::cte::document, {reinterpret_cast<const char*>(data), size});
    return 0;
}
