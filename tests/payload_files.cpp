#include "payload_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace testfiles {

Bytes Image(const std::string &version, uint8_t marker) {
    Bytes image(IMAGE_SIZE);
    uint32_t state = 0x2816;
    for (uint8_t &b : image) {
        state = state * 1103515245u + 12345u;
        b = static_cast<uint8_t>(state >> 16);
    }
    image[0] = marker;
    for (size_t i = 0; i < 3 && i < version.size(); i++) image[1 + i] = static_cast<uint8_t>(version[i]);
    return image;
}

Bytes Trailer(uint16_t checkValue, const std::string &signature, const std::string &suffix) {
    Bytes t{static_cast<uint8_t>(checkValue >> 8), static_cast<uint8_t>(checkValue)};
    t.insert(t.end(), signature.begin(), signature.end());
    t.insert(t.end(), suffix.begin(), suffix.end());
    return t;
}

Bytes Concat(const Bytes &a, const Bytes &b) {
    Bytes out(a);
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

Bytes Program(const Bytes &image, const Bytes &trailer, const Bytes &front) {
    return Concat(Concat(front, image), trailer);
}

ScratchDir::ScratchDir() {
    char name[] = "/tmp/fwflash-testXXXXXX";
    path_ = mkdtemp(name);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ScratchDir::Write(const std::string &name, const Bytes &content) const {
    std::filesystem::path full = std::filesystem::path(path_) / name;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary);
    out.write(reinterpret_cast<const char *>(content.data()), static_cast<std::streamsize>(content.size()));
    return full.string();
}

Bytes ReadAll(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void ResetPayload() {
    HeapFree(GetProcessHeap(), 0, FirmwarePayload.ProgramPath);
    HeapFree(GetProcessHeap(), 0, FirmwarePayload.Image);
    FirmwarePayload = FirmwarePayloadData{};
    PayloadReadVerdict = PAYLOAD_ACCEPTED;
    InitRevisionPattern();
}

void AllocateImage() { FirmwarePayload.Image = static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), 0, IMAGE_SIZE)); }

}  // namespace testfiles
