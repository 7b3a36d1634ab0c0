// Stand-in for the generated CP932 table: a type-22 header with no sections.
#include "CP932.h"

extern "C" const uint8_t convert_tbl[CP932_TABLE_SIZE] = {0x00, 0x16};
