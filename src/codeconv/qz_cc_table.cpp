// qz_cc_table.cpp - the table context, the recognition of a table that has a
// direct index, and the two fallback sections.
#include <cstring>

#include "CP932_index.h"
#include "qz_cc_internal.h"

namespace {

// The direct indexes the library carries, each with the header of its table.
const qz_cc_index *const kIndexes[] = {&qz_cc_cp932_index};

// True when the table of `ctx` is the one `index` was generated from: the
// same type code and section positions, the same fallback counts (read only
// behind positions that agree), and then the same bytes. Header and counts
// agreeing, the table's sections end where the index's table ends, so the
// comparison reads nothing outside it.
bool belongsTo(const qz_cc_index *index, const qz_cc_context *ctx) {
    if (ctx->type_code != index->type_code || ctx->l2u_index_pos != index->l2u_index_pos ||
        ctx->l2u_data_pos != index->l2u_data_pos || ctx->u2l_index_pos != index->u2l_index_pos ||
        ctx->u2l_data_pos != index->u2l_data_pos || ctx->fub_pos != index->fub_pos ||
        ctx->fbu_pos != index->fbu_pos)
        return false;
    if ((ctx->fub_pos != 0 && qz_cc_get16(ctx, ctx->fub_pos - 1) != index->fub_count) ||
        (ctx->fbu_pos != 0 && qz_cc_get16(ctx, ctx->fbu_pos - 1) != index->fbu_count))
        return false;
    // Read-only data: the index's own table holds its bytes, a copy is compared.
    return ctx->table == index->table ||
           std::memcmp(ctx->table, index->table, index->table_size) == 0;
}

}  // namespace

extern "C" void qz_cc_read_context(qz_cc_context *ctx, const uint8_t *table) {
    *ctx = qz_cc_context{};
    ctx->table = table;
    ctx->type_code = qz_cc_get16(ctx, 0);
    if (ctx->type_code < QZ_CC_TYPE_SINGLE) {
        ctx->l2u_index_pos = qz_cc_get32(ctx, 2);
        ctx->l2u_data_pos = qz_cc_get32(ctx, 6);
        ctx->u2l_index_pos = qz_cc_get32(ctx, 10);
        ctx->u2l_data_pos = qz_cc_get32(ctx, 14);
        if (ctx->type_code == QZ_CC_TYPE_4B) {
            // Type 13 keeps its four-byte runs where the others keep fub.
            ctx->data_4b_pos = qz_cc_get32(ctx, 18);
        } else {
            ctx->fub_pos = qz_cc_get32(ctx, 18);
            ctx->fbu_pos = qz_cc_get32(ctx, 22);
        }
    } else {
        ctx->index_u_8859_pos = qz_cc_get16(ctx, 2);
        ctx->data_8859_pos = qz_cc_get16(ctx, 4);
    }
    for (const qz_cc_index *index : kIndexes) {
        if (belongsTo(index, ctx)) {
            ctx->index = index;
            break;
        }
    }
}

// Searches the fallback section at position `pos` (uint16 count, then
// 4-byte records keyed by their first two bytes) and copies the found
// record's value bytes to `value`.
static int lookupFallback(uint32_t pos, const uint8_t *key, uint8_t *value,
                          const qz_cc_context *ctx) {
    if (pos == 0) return 0;  // no section
    uint16_t count = qz_cc_get16(ctx, pos - 1);
    uint8_t k[2] = {key[0], key[1]};
    const uint8_t *record =
        qz_cc_bsearch(k, ctx->table + pos + 1, count, QZ_CC_FALLBACK_RECORD, qz_cc_compare_fub);
    if (record == nullptr) return 0;
    value[0] = record[2];
    value[1] = record[3];
    return 1;
}

extern "C" int qz_cc_lookup_fbu(const uint8_t *local, uint8_t *unit, const qz_cc_context *ctx) {
    return lookupFallback(ctx->fbu_pos, local, unit, ctx);
}

extern "C" int qz_cc_lookup_fub(const uint8_t *unit, uint8_t *local, const qz_cc_context *ctx) {
    return lookupFallback(ctx->fub_pos, unit, local, ctx);
}
