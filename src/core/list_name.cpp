// list_name.cpp - the names a list line can carry.
#include "list_name.h"

#include <cstring>

#include "list_reader.h"

bool canListName(const char *name, size_t len) {
    if (len > 0 && isSpaceByte(static_cast<unsigned char>(name[0]))) return false;
    for (size_t i = 0; i < len; i++)
        if (name[i] == '\0' || name[i] == ',' || name[i] == '\r' || name[i] == '\n') return false;
    return true;
}
