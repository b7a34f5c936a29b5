#include "skins/engine/tsk_format.h"

#include <cstring>

namespace skins::tsk {

namespace {

uint16_t read16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t read32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void putRecord(std::vector<uint8_t>& out, Tag tag, const uint8_t* data, size_t size) {
    put16(out, tag);
    put32(out, static_cast<uint32_t>(size));
    out.insert(out.end(), data, data + size);
}

}  // namespace

bool isValidUtf8(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        const auto b = static_cast<unsigned char>(text[i]);
        size_t len;
        uint32_t cp;
        if (b < 0x80) {
            ++i;
            continue;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
            cp = b & 0x1F;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
            cp = b & 0x0F;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
            cp = b & 0x07;
        } else {
            return false;
        }
        if (i + len > n) return false;
        for (size_t k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not text.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += len;
    }
    return true;
}

Status parse(std::span<const uint8_t> bytes, Skin& out) {
    out = Skin{};
    if (bytes.size() < headerSize) return Status::Truncated;
    const uint8_t* p = bytes.data();
    if (std::memcmp(p, ".TSK", 4) != 0) return Status::BadMagic;
    if (read16(p + 4) != formatVersion) return Status::BadVersion;
    out.number = read16(p + 6);
    const uint32_t body = read32(p + 8);
    if (body != bytes.size() - headerSize) {
        return body > bytes.size() - headerSize ? Status::Truncated : Status::BadLength;
    }

    bool seen[4] = {};
    size_t at = headerSize;
    const size_t end = bytes.size();
    while (at < end) {
        if (end - at < recordHeaderSize) return Status::Truncated;
        const uint16_t tag = read16(p + at);
        const uint32_t size = read32(p + at + 2);
        at += recordHeaderSize;
        if (size > end - at) return Status::Truncated;
        const uint8_t* data = p + at;
        at += size;

        if (tag < TagName || tag > TagSheet) return Status::UnknownRecord;
        if (seen[tag]) return Status::DuplicateRecord;
        seen[tag] = true;
        const std::string_view text(reinterpret_cast<const char*>(data), size);
        switch (tag) {
            case TagName:
                if (size == 0 || size > maxNameBytes || !isValidUtf8(text) ||
                    text.find('\0') != std::string_view::npos)
                    return Status::BadName;
                out.name = text;
                break;
            case TagPalette:
                if (size == 0 || size % 6 != 0) return Status::BadPalette;
                for (size_t k = 0; k < size; k += 6) {
                    const uint8_t group = data[k];
                    const uint8_t role = data[k + 1];
                    if (group > static_cast<uint8_t>(Group::Disabled) || role >= roleCount ||
                        role == noRole)
                        return Status::BadPalette;
                    out.palette.push_back({static_cast<Group>(group), role, data[k + 2],
                                           data[k + 3], data[k + 4], data[k + 5]});
                }
                break;
            case TagSheet:
                if (size == 0 || size > maxSheetBytes || !isValidUtf8(text) ||
                    text.find('\0') != std::string_view::npos)
                    return Status::BadSheet;
                out.sheet = text;
                break;
        }
    }
    if (!seen[TagName] || !seen[TagPalette] || !seen[TagSheet]) return Status::MissingRecord;
    return Status::Ok;
}

std::vector<uint8_t> build(const Skin& skin) {
    std::vector<uint8_t> body;
    putRecord(body, TagName, reinterpret_cast<const uint8_t*>(skin.name.data()), skin.name.size());
    std::vector<uint8_t> pal;
    for (const PaletteEntry& e : skin.palette) {
        pal.insert(pal.end(),
                   {static_cast<uint8_t>(e.group), e.role, e.red, e.green, e.blue, e.alpha});
    }
    putRecord(body, TagPalette, pal.data(), pal.size());
    putRecord(body, TagSheet, reinterpret_cast<const uint8_t*>(skin.sheet.data()),
              skin.sheet.size());

    std::vector<uint8_t> out = {'.', 'T', 'S', 'K'};
    put16(out, formatVersion);
    put16(out, skin.number);
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

}  // namespace skins::tsk
