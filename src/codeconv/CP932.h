/*
 * CP932.h - the CP932 (Windows code page 932) conversion table.
 */
#ifndef QZ_CC_CP932_H
#define QZ_CC_CP932_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Size of convert_tbl in bytes. */
#define CP932_TABLE_SIZE 34848

/* Table of type 22 for qz_code_convert: double-byte CP932 both ways. */
extern const uint8_t convert_tbl[];

#ifdef __cplusplus
}
#endif

#endif /* QZ_CC_CP932_H */
