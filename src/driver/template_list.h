// template_list.h - the template run ("-f"): a directory tree to a template
// list of groups of field lines, one group per image found.
#ifndef EMOJITAG_TEMPLATE_LIST_H
#define EMOJITAG_TEMPLATE_LIST_H

#include <cstdio>

int startSearchGif(const char *dir, const char *listPath);
int searchGif(const char *dir, FILE *list);

#endif
