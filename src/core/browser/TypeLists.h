#pragma once
// The built-in type lists behind the Photo, Audio and Video choices: what cameras, phones and
// recorders write. Alternatives are four-character tails (see TypeFilter): three-letter extensions
// carry their ".", four-letter ones stand alone.

#include <string>

inline constexpr const char* kPhotoTypes =
    ".jpg|jpeg|.jpe|heic|heif|.png|.gif|.bmp|.tif|tiff|webp|"
    ".cr2|.cr3|.crw|.nef|.nrw|.arw|.srf|.sr2|.orf|.rw2|.raf|.dng|.pef|.srw|.x3f|.3fr|.kdc|.mrw|.erf|.psd";
inline constexpr const char* kAudioTypes = ".mp3|.wav|.m4a|.aac|flac|.ogg|opus|.wma|aiff|.amr|.mid";
inline constexpr const char* kVideoTypes = ".mp4|.mov|.m4v|.avi|.mkv|.mts|m2ts|.3gp|.wmv|.mpg|mpeg|.flv|webm";

/// The ticked lists joined by "|", in the order photo, audio, video; empty, which lets every file
/// pass, when none is ticked.
std::string typePatternFor(bool photo, bool audio, bool video);
