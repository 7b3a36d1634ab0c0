#!/bin/sh
# Makes GIFs with independent tools (libjpeg-turbo, gifsicle, giflib,
# exiftool) into the directory $1, one file per feature of the format.
set -e
here=$(cd "$(dirname "$0")" && pwd)
cd "$1"

# A plain PPM of $2 x $3 pixels whose colours depend on $4.
ppm() {
    awk -v w="$2" -v h="$3" -v s="$4" 'BEGIN {
        print "P3"; print w, h; print 255
        for (y = 0; y < h; y++) for (x = 0; x < w; x++)
            print (x * 37 + s) % 256, (y * 53 + s * 3) % 256, ((x + y) * 29 + s * 7) % 256
    }' > "$1"
}
ppm a.ppm 24 16 1
ppm b.ppm 24 16 90
cjpeg -quality 95 a.ppm > a.jpg
cjpeg -quality 95 b.ppm > b.jpg

djpeg -gif -colors 16 a.jpg > gif87a.gif              # GIF87a, global table
djpeg -gif -colors 256 b.jpg > colors256.gif          # global table of 256 entries
gifsicle -w -i gif87a.gif > interlaced.gif               # interlaced rows
gifsicle -w --comment "a note from another tool" gif87a.gif > commented.gif
gifsicle -w --comment "<emoji><x>old</x></emoji>" gif87a.gif > oldemoji.gif
gifsicle -w --loopcount=forever --delay=8 --disposal=background \
    gif87a.gif colors256.gif gif87a.gif > animated.gif  # loop, graphic control, local table
gifsicle -w --loopcount=forever gif87a.gif --comment "<emoji><x>late</x></emoji>" \
    colors256.gif > latecomment.gif                   # emoji comment before frame 2
gifbuild "$here/plaintext.txt" > plaintext.gif        # plain text extension
exiftool -q -Comment="written by exiftool" -o exifcomment.gif gif87a.gif
rm -f a.ppm b.ppm a.jpg b.jpg
