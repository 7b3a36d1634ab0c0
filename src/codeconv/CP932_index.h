/*
 * CP932_index.h - the direct index of the CP932 table `convert_tbl`
 * (qz_cc_index.h says what a direct index holds and how the converter
 * recognises the table it belongs to).
 *
 * Generated together with convert_tbl, from the same data, by tools/cp932_gen
 * into CP932_index.cpp.
 */
#ifndef QZ_CC_CP932_INDEX_H
#define QZ_CC_CP932_INDEX_H

#include "qz_cc_index.h"

#ifdef __cplusplus
extern "C" {
#endif

extern const qz_cc_index qz_cc_cp932_index;

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_CP932_INDEX_H */
