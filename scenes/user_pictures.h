#pragma once
// The user's own pictures: the first four JPEG files of a folder, in name
// order, take the places of the embedded pictures. Each is cut to a centred
// square (its aspect kept) and, when larger than 1024 on a side, shrunk, so it
// zooms like the pictures the program carries.
#include <cstddef>
#include <string>
#include <vector>

#include "scenes/picture_loader.h"

namespace hl {

constexpr int kUserPictureMaxSide = 1024;

// Program-wide: the folder whose pictures the zoom scene shows; empty for the
// embedded ones. Set by start-up from --pictures or the "PictureFolder" setting.
extern std::string userPictureFolder;

// The paths of the first `count` regular files of `folder` whose names end in
// .jpg or .jpeg (any case), in byte order of their names. An unreadable or
// missing folder gives none.
std::vector<std::string> FirstPictureFiles(const std::string& folder, size_t count);
// The same; `error` gets the cause when the folder cannot be read.
std::vector<std::string> FirstPictureFiles(const std::string& folder, size_t count, std::string* error);

// Cuts the decoded picture in `record` to its centred square and scales that
// down, by averaging, to the largest power of two not above kUserPictureMaxSide
// or its own side. False (record untouched) when memory runs out.
bool SquarePicture(PictureTexture& record);

// What a picture of the user's may cost (a multiple of what any photo needs):
// decoded at 1/2 ... 1/8 of its size where it is larger than its texture will
// be, at most 20000 x 20000 pixels at full size and 16 million once decoded,
// 192 MiB of coefficients for a progressive picture, 100 scans, and no data
// ending early. Files above
// kUserPictureMaxFileBytes are refused before they are read.
DecodeLimits UserPictureLimits();
constexpr long long kUserPictureMaxFileBytes = 64LL << 20;

// Opens `path` only if it is a regular file (never blocking on a FIFO or a
// device), then decodes and squares it, without GL. False, with the record
// untouched and the one-line cause in `reason`, when it cannot be used.
bool ReadUserPicture(PictureTexture& record, const std::string& path, std::string* reason);

// The same for the bytes of a file already in memory, under `limits`.
bool ReadUserPictureBytes(PictureTexture& record, const unsigned char* data, size_t size, std::string* reason,
                          const DecodeLimits& limits = UserPictureLimits());

// Reads, decodes, squares and uploads the picture at `path`. False, with the
// record untouched, when the file cannot be read or is no picture we can show.
bool LoadUserPictureTexture(PictureTexture& record, const std::string& path, std::string* reason = nullptr);

// Fills textures[0 ... count-1] from the first `count` pictures of `folder`
// and sets loaded[i] for each slot it filled. A file that cannot be used, and
// a folder that gives no usable picture, are reported once per process
// through the error sink, naming the file or folder and the cause; the
// caller's own pictures stand in for them. An empty folder name is quiet.
void LoadUserPictures(const std::string& folder, PictureTexture* textures, int count, bool* loaded);

}  // namespace hl
