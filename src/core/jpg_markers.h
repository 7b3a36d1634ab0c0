// jpg_markers.h - JPEG marker codes and segment limits shared by the JPEG
// rewriter and its comment writer. A marker is 0xFF and one of these codes.
#ifndef EMOJITAG_JPG_MARKERS_H
#define EMOJITAG_JPG_MARKERS_H

#include <cstddef>

constexpr unsigned char M_PREFIX = 0xFF;  // first byte of every marker; also a fill byte
constexpr unsigned char M_STUFF = 0x00;   // 0xFF 0x00: a data byte 0xFF in entropy-coded data
constexpr unsigned char M_TEM = 0x01;     // temporary marker, no length field
// Restart markers RST0..RST7: no length field, found inside entropy-coded data.
constexpr unsigned char M_RST0 = 0xD0;
constexpr unsigned char M_RST1 = 0xD1;
constexpr unsigned char M_RST2 = 0xD2;
constexpr unsigned char M_RST3 = 0xD3;
constexpr unsigned char M_RST4 = 0xD4;
constexpr unsigned char M_RST5 = 0xD5;
constexpr unsigned char M_RST6 = 0xD6;
constexpr unsigned char M_RST7 = 0xD7;
constexpr unsigned char M_SOI = 0xD8;  // start of image
constexpr unsigned char M_EOI = 0xD9;  // end of image
constexpr unsigned char M_SOS = 0xDA;  // start of scan: header, then entropy-coded data
constexpr unsigned char M_COM = 0xFE;  // comment
// Frame headers SOF0..SOF15 take the codes 0xC0..0xCF but three: DHT (Huffman
// tables), JPG (reserved) and DAC (arithmetic coding conditioning).
constexpr unsigned char M_SOF0 = 0xC0;
constexpr unsigned char M_DHT = 0xC4;
constexpr unsigned char M_JPG = 0xC8;
constexpr unsigned char M_DAC = 0xCC;
constexpr unsigned char M_SOF15 = 0xCF;

inline bool isJpgFrameCode(unsigned char code) {
    return code >= M_SOF0 && code <= M_SOF15 && code != M_DHT && code != M_JPG && code != M_DAC;
}

// A segment's length field counts itself (2 bytes) and its data.
constexpr size_t JPG_LENGTH_SIZE = 2;
// Most data bytes one segment can hold: 0xFFFF less the length field.
constexpr size_t JPG_MAX_SEGMENT_DATA = 0xFFFF - JPG_LENGTH_SIZE;

// A comment is examined from this many data bytes on (one more than the
// "<emoji>" tag: a comment that is just the tag is short and never examined).
constexpr size_t JPG_EXAMINED_COMMENT_MIN = 8;

#endif
