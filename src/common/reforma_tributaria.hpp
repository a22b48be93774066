// The rows of the consumption taxes of the tax reform that the NF-e and the
// CT-e share: the IBSCBS group (IBS of the state and of the municipality,
// CBS), read the same way under det/imposto and under imp, and the
// government purchase of ide.
#pragma once

#include <span>

#include "common/fields.hpp"

namespace idf {

// The rows of IBSCBS, every element path relative to the group. Each line
// is written only when its element holds text (Kind::optional): a document
// without a subgroup simply has none of its lines.
std::span<const Field> linhas_ibscbs();

// The rows of gCompraGov, a purchase by a government body, relative to the
// group: written in [IDENTIFICACAO] of the NF-e and the CT-e with
// write_group(import, ide, "gCompraGov", linhas_compra_governamental()).
std::span<const Field> linhas_compra_governamental();

}  // namespace idf
