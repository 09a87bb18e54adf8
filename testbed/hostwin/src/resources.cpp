// The module's resources, read from a compiled resource file, and the
// decoding of DIALOG templates.
#include "resources.h"

#include <iconv.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace hostwin {

namespace {

std::vector<ResourceEntry> &Entries() {
    static auto *entries = [] {
        auto *e = new std::vector<ResourceEntry>;
        M().resetHooks.push_back([e] { e->clear(); });
        return e;
    }();
    return *entries;
}

// Reads little-endian data; every read past the end marks the reader bad.
struct Reader {
    const std::vector<uint8_t> &data;
    size_t pos = 0;
    bool bad = false;

    bool Has(size_t n) {
        if (pos + n > data.size()) bad = true;
        return !bad;
    }
    WORD Word() {
        if (!Has(2)) return 0;
        WORD v = static_cast<WORD>(data[pos] | data[pos + 1] << 8);
        pos += 2;
        return v;
    }
    DWORD Dword() {
        WORD lo = Word();
        return lo | static_cast<DWORD>(Word()) << 16;
    }
    int Short() { return static_cast<int16_t>(Word()); }
    void Align4() { pos = (pos + 3) & ~static_cast<size_t>(3); }
    std::u16string String() {
        std::u16string s;
        for (WORD c = Word(); c != 0 && !bad; c = Word()) s.push_back(static_cast<char16_t>(c));
        return s;
    }
    // A name or an ordinal: 0xFFFF introduces an ordinal.
    void NameOrOrdinal(WORD *ordinal, std::u16string *name) {
        if (!Has(2)) return;
        if (data[pos] == 0xFF && data[pos + 1] == 0xFF) {
            pos += 2;
            *ordinal = Word();
        } else {
            *name = String();
        }
    }
};

std::string Convert(const std::u16string &text, const char *codePage) {
    if (text.empty()) return "";
    iconv_t cd = iconv_open(codePage, "UTF-16LE");
    std::string in;
    for (char16_t c : text) {
        in.push_back(static_cast<char>(c & 0xFF));
        in.push_back(static_cast<char>(c >> 8));
    }
    std::string out(text.size() * 4 + 4, '\0');
    char *src = in.data(), *dst = out.data();
    size_t srcLeft = in.size(), dstLeft = out.size();
    while (srcLeft > 0) {
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1)) break;
        // A character the code page lacks shows as '?', as WideCharToMultiByte does.
        src += 2;
        srcLeft -= 2;
        *dst++ = '?';
        dstLeft--;
    }
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

std::string Utf8(const std::u16string &text) { return Convert(text, "UTF-8"); }

std::string AtomClass(WORD atom) {
    switch (atom) {
    case 0x80: return "BUTTON";
    case 0x81: return "EDIT";
    case 0x82: return "STATIC";
    case 0x83: return "LISTBOX";
    case 0x84: return "SCROLLBAR";
    case 0x85: return "COMBOBOX";
    }
    return "#" + std::to_string(atom);
}

std::string OrdinalOrName(WORD ordinal, const std::u16string &name) {
    return name.empty() && ordinal ? "#" + std::to_string(ordinal) : Utf8(name);
}

}  // namespace

std::string ToAnsi(const std::u16string &text) {
    return Convert(text, M().systemLanguage == 0x0411 ? "CP932" : "CP1252");
}

const ResourceEntry *FindResource(WORD typeId, const std::string &name) {
    for (auto &e : Entries())
        if (e.typeId == typeId && e.name == name) return &e;
    return nullptr;
}

bool SetModuleResources(const std::string &resPath) {
    std::ifstream file(resPath, std::ios::binary);
    if (!file) return false;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<ResourceEntry> entries;
    Reader r{bytes};
    while (r.pos < bytes.size() && !r.bad) {
        size_t start = r.pos;
        DWORD dataSize = r.Dword();
        DWORD headerSize = r.Dword();
        ResourceEntry e;
        std::u16string type, name;
        r.NameOrOrdinal(&e.typeId, &type);
        r.NameOrOrdinal(&e.nameId, &name);
        r.Align4();
        r.Dword();  // data version
        r.Word();   // memory flags
        e.language = r.Word();
        r.pos = start + headerSize;
        if (!r.Has(dataSize)) break;
        e.data.assign(bytes.begin() + r.pos, bytes.begin() + r.pos + dataSize);
        e.typeName = Utf8(type);
        e.name = Utf8(name);
        r.pos += dataSize;
        r.Align4();
        if (dataSize || e.typeId || !type.empty()) entries.push_back(std::move(e));  // skip the empty first entry
    }
    if (r.bad) return false;
    Lock lk(M().lock);
    Entries() = std::move(entries);
    return true;
}

std::vector<ResourceEntry> ModuleResources() {
    Lock lk(M().lock);
    return Entries();
}

DialogTemplate ParseDialogTemplate(const std::vector<uint8_t> &data) {
    DialogTemplate t;
    Reader r{data};
    if (data.size() >= 4 && data[0] == 1 && data[1] == 0 && data[2] == 0xFF && data[3] == 0xFF) {
        t.extended = true;
        return t;
    }
    t.style = r.Dword();
    t.exStyle = r.Dword();
    int count = r.Word();
    t.x = r.Short();
    t.y = r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    WORD ordinal = 0;
    std::u16string text;
    r.NameOrOrdinal(&ordinal, &text);
    t.menu = OrdinalOrName(ordinal, text);
    ordinal = 0;
    text.clear();
    r.NameOrOrdinal(&ordinal, &text);
    t.windowClass = OrdinalOrName(ordinal, text);
    t.wideCaption = r.String();
    t.caption = Utf8(t.wideCaption);
    if (t.style & DS_SETFONT) {
        t.pointSize = r.Word();
        t.font = Utf8(r.String());
    }
    for (int i = 0; i < count && !r.bad; i++) {
        r.Align4();
        DialogItemTemplate item;
        item.style = r.Dword();
        item.exStyle = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = r.Word();
        ordinal = 0;
        text.clear();
        r.NameOrOrdinal(&ordinal, &text);
        item.className = text.empty() ? AtomClass(ordinal) : Utf8(text);
        ordinal = 0;
        text.clear();
        r.NameOrOrdinal(&ordinal, &text);
        item.wideText = text;
        item.text = OrdinalOrName(ordinal, text);
        WORD extra = r.Word();
        r.pos += extra;
        t.items.push_back(std::move(item));
    }
    t.valid = !r.bad;
    return t;
}

}  // namespace hostwin
