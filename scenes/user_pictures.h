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

// Cuts the decoded picture in `record` to its centred square and scales that
// down, by averaging, to the largest power of two not above kUserPictureMaxSide
// or its own side. False (record untouched) when memory runs out.
bool SquarePicture(PictureTexture& record);

// Reads, decodes, squares and uploads the picture at `path`. False, with the
// record untouched, when the file cannot be read or is no picture we can show.
bool LoadUserPictureTexture(PictureTexture& record, const std::string& path);

}  // namespace hl
