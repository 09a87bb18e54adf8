// Test-side helpers for payload files: images and trailers built byte by
// byte, files in a scratch folder, and the payload state put back after a test.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "payload/payload.h"

namespace testfiles {

using Bytes = std::vector<uint8_t>;

// An image of IMAGE_SIZE bytes: marker, three version characters, then a
// reproducible filler.
Bytes Image(const std::string &version = "102", uint8_t marker = IMAGE_MARKER);
// Check value, signature, and the suffix when it is not empty.
Bytes Trailer(uint16_t checkValue, const std::string &signature = "K827", const std::string &suffix = "");
// A program: the bytes in front, the image, the trailer.
Bytes Program(const Bytes &image, const Bytes &trailer, const Bytes &front = Bytes(64, 'M'));
Bytes Concat(const Bytes &a, const Bytes &b);

// A scratch folder removed with everything in it when the object ends.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &path() const { return path_; }
    // Writes a file under the folder (creating subfolders) and returns its path.
    std::string Write(const std::string &name, const Bytes &content) const;

private:
    std::string path_;
};

Bytes ReadAll(const std::string &path);

// Puts FirmwarePayload and RevisionPattern back as at program start,
// releasing what a LoadPayload allocated.
void ResetPayload();

// The image buffer LoadPayload would allocate, for direct ReadPayloadFile
// calls; ResetPayload releases it.
void AllocateImage();

}  // namespace testfiles
