// Stand-in for the JPEG rewriter until it lands: copies the input unchanged.
#include "copy_standin.h"
#include "embed.h"

int setJpgData(FILE *in, FILE *out, const char *) {
    return copyStandin(in, out);
}
