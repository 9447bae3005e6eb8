#include "disk/ContainerImage.h"

#include <libewf.h>
#include <libqcow.h>
#include <libsmraw.h>
#include <libvhdi.h>
#include <libvmdk.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace fs = std::filesystem;

namespace {
// ---- telling containers apart ----

constexpr unsigned char kEwf1[] = {'E', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x00};
constexpr unsigned char kLvf1[] = {'L', 'V', 'F', 0x09, 0x0d, 0x0a, 0xff, 0x00};
constexpr unsigned char kEwf2[] = {'E', 'V', 'F', '2', 0x0d, 0x0a, 0x81, 0x00};
constexpr unsigned char kQcow[] = {'Q', 'F', 'I', 0xfb};

bool startsWith(const std::vector<unsigned char>& bytes, std::size_t at, const void* what,
                std::size_t length) {
    return bytes.size() >= at + length && std::memcmp(bytes.data() + at, what, length) == 0;
}

bool startsWith(const std::vector<unsigned char>& bytes, std::size_t at, const char* text) {
    return startsWith(bytes, at, text, std::strlen(text));
}

/// The next name of a numbered or lettered piece ("001" -> "002", "aa" -> "ab", "az" -> "ba"),
/// or empty when the suffix runs out.
std::string nextSuffix(std::string suffix) {
    for (auto i = suffix.size(); i-- > 0;) {
        char& c = suffix[i];
        if (c == '9' || c == 'z' || c == 'Z') {
            c = c == '9' ? '0' : c == 'z' ? 'a' : 'A';
            continue;
        }
        ++c;
        return suffix;
    }
    return {};
}

bool allOf(const std::string& text, int (*test)(int)) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

int isLower(int c) {
    return c >= 'a' && c <= 'z' ? 1 : 0;
}

// ---- the libraries, all of one shape ----

template <typename Handle, typename Error> struct Library {
    const char* name;
    int (*initialize)(Handle**, Error**);
    int (*release)(Handle**, Error**);
    int (*close)(Handle*, Error**);
    ssize_t (*readAt)(Handle*, void*, size_t, off64_t, Error**);
    int (*mediaSize)(Handle*, size64_t*, Error**);
    void (*errorFree)(Error**);
    int (*errorSprint)(Error*, char*, size_t);
};

const Library<libewf_handle_t, libewf_error_t> kEwfLibrary{"libewf",
                                                           libewf_handle_initialize,
                                                           libewf_handle_free,
                                                           libewf_handle_close,
                                                           libewf_handle_read_random,
                                                           libewf_handle_get_media_size,
                                                           libewf_error_free,
                                                           libewf_error_sprint};
const Library<libvmdk_handle_t, libvmdk_error_t> kVmdkLibrary{"libvmdk",
                                                              libvmdk_handle_initialize,
                                                              libvmdk_handle_free,
                                                              libvmdk_handle_close,
                                                              libvmdk_handle_read_buffer_at_offset,
                                                              libvmdk_handle_get_media_size,
                                                              libvmdk_error_free,
                                                              libvmdk_error_sprint};
const Library<libvhdi_file_t, libvhdi_error_t> kVhdiLibrary{"libvhdi",
                                                            libvhdi_file_initialize,
                                                            libvhdi_file_free,
                                                            libvhdi_file_close,
                                                            libvhdi_file_read_buffer_at_offset,
                                                            libvhdi_file_get_media_size,
                                                            libvhdi_error_free,
                                                            libvhdi_error_sprint};
const Library<libqcow_file_t, libqcow_error_t> kQcowLibrary{"libqcow",
                                                            libqcow_file_initialize,
                                                            libqcow_file_free,
                                                            libqcow_file_close,
                                                            libqcow_file_read_buffer_at_offset,
                                                            libqcow_file_get_media_size,
                                                            libqcow_error_free,
                                                            libqcow_error_sprint};
const Library<libsmraw_handle_t, libsmraw_error_t> kSmrawLibrary{"libsmraw",
                                                                 libsmraw_handle_initialize,
                                                                 libsmraw_handle_free,
                                                                 libsmraw_handle_close,
                                                                 libsmraw_handle_read_buffer_at_offset,
                                                                 libsmraw_handle_get_media_size,
                                                                 libsmraw_error_free,
                                                                 libsmraw_error_sprint};

/// Parents of a differencing image followed at most this deep (a crafted image may name itself).
constexpr int kMostParents = 16;

/// An opened container: its handle, and for a differencing image the handles of its parents,
/// which live as long as it does.
template <typename Handle, typename Error> class LibraryImage : public ContainerImage {
  public:
    explicit LibraryImage(const Library<Handle, Error>& library) : library_(library) {}
    ~LibraryImage() override {
        for (Handle* handle : chain_) {
            library_.close(handle, nullptr);
            library_.release(&handle, nullptr);
        }
    }
    LibraryImage(const LibraryImage&) = delete;
    LibraryImage& operator=(const LibraryImage&) = delete;

    std::int64_t mediaSize() const override { return size_; }
    long read(void* buffer, std::size_t n, std::int64_t position) override {
        Error* error = nullptr;
        const ssize_t got = library_.readAt(chain_.front(), buffer, n, position, &error);
        if (got < 0) {
            library_.errorFree(&error);
            return -1;
        }
        return static_cast<long>(got);
    }

    /// A new handle at the end of the chain (the image first, then its parents); null when the
    /// library cannot make one (failure says why).
    Handle* addHandle() {
        Handle* handle = nullptr;
        Error* error = nullptr;
        if (library_.initialize(&handle, &error) != 1) {
            failure = take(error);
            return nullptr;
        }
        chain_.push_back(handle);
        return handle;
    }
    /// Reads the media size of the image; false when the library fails.
    bool measure() {
        size64_t bytes = 0;
        Error* error = nullptr;
        if (library_.mediaSize(chain_.front(), &bytes, &error) != 1 ||
            bytes > static_cast<size64_t>(INT64_MAX)) {
            failure = take(error);
            return false;
        }
        size_ = static_cast<std::int64_t>(bytes);
        return true;
    }
    /// The library's words for an error (its innermost message, which names the cause), freed.
    std::string take(Error*& error) {
        if (error == nullptr)
            return std::string(library_.name) + " gave no reason";
        std::string text(4096, '\0');
        library_.errorSprint(error, text.data(), text.size());
        library_.errorFree(&error);
        text.resize(std::strlen(text.c_str()));
        if (const auto end = text.find('\n'); end != std::string::npos)
            text.resize(end);
        // Its messages start with the function that failed: the cause follows.
        if (const auto colon = text.find(": "); colon != std::string::npos && text.compare(0, 3, "lib") == 0)
            text.erase(0, colon + 2);
        return text;
    }

    std::string failure;

  protected:
    Handle* image() const { return chain_.front(); }

  private:
    const Library<Handle, Error>& library_;
    std::vector<Handle*> chain_;
    std::int64_t size_ = 0;
};

/// The parent a differencing image names, looked for as it is named (beside the image when the
/// name is relative) and then by its file name alone beside the image: images are moved between
/// machines, and the path a Windows host wrote ("C:\VMs\base.vhd") means nothing here.
std::string findParent(const std::string& child, const std::string& named) {
    const fs::path folder = fs::absolute(child).parent_path();
    std::error_code error;
    fs::path asNamed = named;
    if (asNamed.is_relative())
        asNamed = folder / asNamed;
    if (fs::is_regular_file(asNamed, error))
        return asNamed.string();
    const auto slash = named.find_last_of("/\\");
    const fs::path beside = folder / (slash == std::string::npos ? named : named.substr(slash + 1));
    return fs::is_regular_file(beside, error) ? beside.string() : std::string();
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

/// What the image at path is, said of the image opened (top) or of one of its parents.
std::string said(const std::string& top, const std::string& path, const std::string& text) {
    return path == top ? text : "its parent image " + path + " is " + text;
}

std::string article(const std::string& kind) {
    return kind.front() == 'E' ? "an " : "a ";
}

std::string missingParent(const std::string& top, const std::string& path, const std::string& kind,
                          const std::string& parent) {
    return said(top, path,
                "a differencing " + kind + ": it holds only the changes made to its parent disk " +
                    quoted(parent) + ", which is not beside it in " +
                    fs::absolute(path).parent_path().string() +
                    ". Put the parent image in the same folder and open it again.");
}

std::string unreadable(const std::string& top, const std::string& path, const std::string& kind,
                       const std::string& reason) {
    return said(top, path, article(kind) + kind + ", but it cannot be read: " + reason);
}

// ---- EWF ----

class EwfImage final : public LibraryImage<libewf_handle_t, libewf_error_t> {
  public:
    EwfImage() : LibraryImage(kEwfLibrary) {}
    long read(void* buffer, std::size_t n, std::int64_t position) override {
        const long got = LibraryImage::read(buffer, n, position);
        noteChecksumErrors();
        return got;
    }
    std::vector<MediumRange> takeCorruptRanges() override { return std::exchange(corrupt_, {}); }

    bool open(const std::string& path, std::string& why) {
        libewf_handle_t* handle = addHandle();
        if (handle == nullptr)
            return false;
        char** names = nullptr;
        int count = 0;
        libewf_error_t* error = nullptr;
        if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, &names, &count, &error) != 1) {
            why = unreadable(path, path, "EWF (E01) image", take(error));
            return false;
        }
        const int opened = libewf_handle_open(handle, names, count, LIBEWF_OPEN_READ, &error);
        const std::string last = count > 0 ? names[count - 1] : path;
        libewf_glob_free(names, count, nullptr);
        if (opened != 1) {
            const std::string reason = take(error);
            why = reason.find("missing") != std::string::npos ||
                          reason.find("next segment") != std::string::npos
                      ? missingSegment(last)
                      : unreadable(path, path, "EWF (E01) image", reason);
            return false;
        }
        // A chunk whose checksum fails is served as zeros and noted, like a bad sector.
        libewf_handle_set_read_zero_chunk_on_error(handle, 1, nullptr);
        libewf_handle_get_bytes_per_sector(handle, &bytesPerSector_, nullptr);
        if (bytesPerSector_ == 0)
            bytesPerSector_ = 512;
        if (libewf_handle_segment_files_corrupted(handle, nullptr) == 1) {
            why = missingSegment(last);
            return false;
        }
        if (!measure()) {
            why = unreadable(path, path, "EWF (E01) image", failure);
            return false;
        }
        return true;
    }

  private:
    static std::string missingSegment(const std::string& last) {
        return "an EWF (E01) image split into segment files, and the set ends at " +
               fs::path(last).filename().string() +
               " without its last segment: the segment after it is missing. " +
               "Put every segment file (.E01, .E02, ...) in the same folder and open the first one again.";
    }

    void noteChecksumErrors() {
        std::uint32_t count = 0;
        if (libewf_handle_get_number_of_checksum_errors(image(), &count, nullptr) != 1)
            return;
        for (; seenErrors_ < count; ++seenErrors_) {
            std::uint64_t first = 0, sectors = 0;
            if (libewf_handle_get_checksum_error(image(), seenErrors_, &first, &sectors, nullptr) != 1 ||
                first > static_cast<std::uint64_t>(INT64_MAX) / bytesPerSector_ ||
                sectors > static_cast<std::uint64_t>(INT64_MAX) / bytesPerSector_)
                continue;
            corrupt_.push_back(MediumRange{static_cast<std::int64_t>(first * bytesPerSector_),
                                           static_cast<std::int64_t>(sectors * bytesPerSector_),
                                           RangeState::Bad});
        }
    }

    std::uint32_t bytesPerSector_ = 512;
    std::uint32_t seenErrors_ = 0;
    std::vector<MediumRange> corrupt_;
};

// ---- VMDK, VHD/VHDX, QCOW2: one image and its parents ----

/// Opens path, then for a differencing image each parent in turn into a new handle of the chain,
/// handed to its child. prepare opens one file (and refuses what cannot be read), parentName
/// gives the parent a handle names (empty: none), setParent joins the two.
template <typename Handle, typename Error, typename Prepare, typename ParentName>
bool chain(LibraryImage<Handle, Error>& image, const std::string& path, const std::string& kind,
           Prepare prepare, ParentName parentName, int (*setParent)(Handle*, Handle*, Error**),
           std::string& why) {
    Handle* handle = image.addHandle();
    if (handle == nullptr || !prepare(handle, path, why)) {
        if (why.empty())
            why = unreadable(path, path, kind, image.failure);
        return false;
    }
    std::string current = path;
    for (int depth = 0;; ++depth) {
        const std::string named = parentName(handle);
        if (named.empty())
            break;
        const std::string parentPath = findParent(current, named);
        if (parentPath.empty()) {
            why = missingParent(path, current, kind, named);
            return false;
        }
        if (depth == kMostParents) {
            why = unreadable(path, path, kind,
                             "its chain of parent images goes on past " + std::to_string(kMostParents) +
                                 " images (does an image name itself?)");
            return false;
        }
        Handle* parent = image.addHandle();
        if (parent == nullptr || !prepare(parent, parentPath, why)) {
            if (why.empty())
                why = unreadable(path, parentPath, kind, image.failure);
            return false;
        }
        if (Error* error = nullptr; setParent(handle, parent, &error) != 1) {
            why = unreadable(path, current, kind,
                             "its parent " + parentPath + " does not fit it: " + image.take(error));
            return false;
        }
        handle = parent;
        current = parentPath;
    }
    if (!image.measure()) {
        why = unreadable(path, path, kind, image.failure);
        return false;
    }
    return true;
}

/// chain() with the image handed over when it opened.
template <typename Handle, typename Error, typename Prepare, typename ParentName>
ContainerOpening openChain(std::unique_ptr<LibraryImage<Handle, Error>> opened, const std::string& path,
                           const std::string& kind, Prepare prepare, ParentName parentName,
                           int (*setParent)(Handle*, Handle*, Error**)) {
    ContainerOpening opening;
    if (chain(*opened, path, kind, prepare, parentName, setParent, opening.failure))
        opening.image = std::move(opened);
    return opening;
}

/// A name a library gives through a size getter and a getter (1: there, 0: none); empty for none.
template <typename Handle, typename Error>
std::string libraryText(Handle* handle, int (*size)(Handle*, size_t*, Error**),
                        int (*get)(Handle*, uint8_t*, size_t, Error**), void (*errorFree)(Error**)) {
    size_t bytes = 0;
    Error* error = nullptr;
    if (size(handle, &bytes, &error) != 1 || bytes == 0 || bytes > 65536) {
        errorFree(&error);
        return {};
    }
    std::string text(bytes, '\0');
    if (get(handle, reinterpret_cast<uint8_t*>(text.data()), bytes, &error) != 1) {
        errorFree(&error);
        return {};
    }
    text.resize(std::strlen(text.c_str()));
    return text;
}

ContainerOpening openVmdk(const std::string& path) {
    auto image = std::make_unique<LibraryImage<libvmdk_handle_t, libvmdk_error_t>>(kVmdkLibrary);
    const std::string kind = containerName(ContainerKind::Vmdk);
    auto prepare = [library = image.get(), &kind, &path](libvmdk_handle_t* handle, const std::string& file,
                                                         std::string& why) {
        libvmdk_error_t* error = nullptr;
        // The extent files of a descriptor lie beside it, wherever the program runs.
        const std::string folder = fs::absolute(file).parent_path().string();
        if (libvmdk_handle_open(handle, file.c_str(), LIBVMDK_OPEN_READ, &error) != 1 ||
            libvmdk_handle_set_extent_data_files_path(handle, folder.c_str(), folder.size(), &error) != 1 ||
            libvmdk_handle_open_extent_data_files(handle, &error) != 1) {
            const std::string reason = library->take(error);
            why =
                reason.find("extent") != std::string::npos || reason.find("no such file") != std::string::npos
                    ? said(path, file,
                           "a " + kind +
                               " whose extent files (the pieces that hold its data) are not all beside it: " +
                               reason + ". Put every file of the disk in the same folder.")
                    : unreadable(path, file, kind, reason);
            return false;
        }
        return true;
    };
    auto parentName = [](libvmdk_handle_t* handle) {
        return libraryText(handle, libvmdk_handle_get_utf8_parent_filename_size,
                           libvmdk_handle_get_utf8_parent_filename, libvmdk_error_free);
    };
    return openChain(std::move(image), path, kind, prepare, parentName, libvmdk_handle_set_parent_handle);
}

ContainerOpening openVhdi(const std::string& path, ContainerKind which) {
    auto image = std::make_unique<LibraryImage<libvhdi_file_t, libvhdi_error_t>>(kVhdiLibrary);
    const std::string kind = containerName(which);
    auto prepare = [library = image.get(), &kind, &path](libvhdi_file_t* file, const std::string& name,
                                                         std::string& why) {
        libvhdi_error_t* error = nullptr;
        if (libvhdi_file_open(file, name.c_str(), LIBVHDI_OPEN_READ, &error) == 1)
            return true;
        why = unreadable(path, name, kind, library->take(error));
        return false;
    };
    auto parentName = [](libvhdi_file_t* file) {
        std::uint32_t type = 0;
        if (libvhdi_file_get_disk_type(file, &type, nullptr) != 1 || type != LIBVHDI_DISK_TYPE_DIFFERENTIAL)
            return std::string();
        const std::string named = libraryText(file, libvhdi_file_get_utf8_parent_filename_size,
                                              libvhdi_file_get_utf8_parent_filename, libvhdi_error_free);
        return named.empty() ? std::string("(its parent's name is not recorded)") : named;
    };
    return openChain(std::move(image), path, kind, prepare, parentName, libvhdi_file_set_parent_file);
}

ContainerOpening openQcow(const std::string& path) {
    auto image = std::make_unique<LibraryImage<libqcow_file_t, libqcow_error_t>>(kQcowLibrary);
    const std::string kind = containerName(ContainerKind::Qcow);
    auto prepare = [library = image.get(), &kind, &path](libqcow_file_t* file, const std::string& name,
                                                         std::string& why) {
        if (containerKindOf(name) != ContainerKind::Qcow) {
            why = said(path, name,
                       "not a " + kind + ", and a " + kind +
                           " can only be read over a backing file of its own kind. " +
                           "Convert the backing file with qemu-img (-O qcow2), or the whole chain into one "
                           "raw image.");
            return false;
        }
        libqcow_error_t* error = nullptr;
        if (libqcow_file_open(file, name.c_str(), LIBQCOW_OPEN_READ, &error) != 1) {
            why = unreadable(path, name, kind, library->take(error));
            return false;
        }
        std::uint32_t method = LIBQCOW_ENCRYPTION_METHOD_NONE;
        libqcow_file_get_encryption_method(file, &method, nullptr);
        if (method != LIBQCOW_ENCRYPTION_METHOD_NONE) {
            why = said(
                path, name,
                "a " + kind + " encrypted with " +
                    (method == LIBQCOW_ENCRYPTION_METHOD_LUKS ? std::string("LUKS") : std::string("AES")) +
                    ": its disk cannot be read without the passphrase, and Pictorva does not decrypt "
                    "images. " +
                    "Make a decrypted copy first (qemu-img convert with the secret) and open the copy.");
            return false;
        }
        return true;
    };
    auto parentName = [](libqcow_file_t* file) {
        return libraryText(file, libqcow_file_get_utf8_backing_filename_size,
                           libqcow_file_get_utf8_backing_filename, libqcow_error_free);
    };
    return openChain(std::move(image), path, kind, prepare, parentName, libqcow_file_set_parent_file);
}

ContainerOpening openEwf(const std::string& path) {
    auto image = std::make_unique<EwfImage>();
    ContainerOpening opening;
    if (image->open(path, opening.failure))
        opening.image = std::move(image);
    return opening;
}

ContainerOpening openSplitRaw(const std::string& path) {
    auto image = std::make_unique<LibraryImage<libsmraw_handle_t, libsmraw_error_t>>(kSmrawLibrary);
    const std::string kind = containerName(ContainerKind::SplitRaw);
    ContainerOpening opening;
    libsmraw_handle_t* handle = image->addHandle();
    char** names = nullptr;
    int count = 0;
    libsmraw_error_t* error = nullptr;
    if (handle == nullptr) {
        opening.failure = unreadable(path, path, kind, image->failure);
    } else if (libsmraw_glob(path.c_str(), path.size(), &names, &count, &error) != 1) {
        opening.failure = unreadable(path, path, kind, image->take(error));
    } else {
        const int opened = libsmraw_handle_open(handle, names, count, LIBSMRAW_OPEN_READ, &error);
        libsmraw_glob_free(names, count, nullptr);
        if (opened != 1)
            opening.failure = unreadable(path, path, kind, image->take(error));
        else if (!image->measure())
            opening.failure = unreadable(path, path, kind, image->failure);
        else
            opening.image = std::move(image);
    }
    return opening;
}
} // namespace

std::string containerName(ContainerKind kind) {
    switch (kind) {
    case ContainerKind::Ewf:
        return "EWF (E01) image";
    case ContainerKind::Vmdk:
        return "VMDK image";
    case ContainerKind::Vhd:
        return "VHD image";
    case ContainerKind::Vhdx:
        return "VHDX image";
    case ContainerKind::Qcow:
        return "QCOW2 image";
    case ContainerKind::SplitRaw:
        return "split raw image";
    case ContainerKind::None:
        break;
    }
    return "raw image";
}

std::string nextSplitPiece(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    const std::string suffix = name.substr(dot + 1);
    const bool digits = suffix.size() >= 2 && allOf(suffix, isdigit) && std::stoi(suffix) <= 1;
    const bool letters =
        suffix.size() >= 2 && allOf(suffix, isLower) && suffix.find_first_not_of('a') == std::string::npos;
    if (!digits && !letters)
        return {};
    const std::string next = nextSuffix(suffix);
    return next.empty() ? std::string() : path.substr(0, path.size() - suffix.size()) + next;
}

ContainerKind containerKindOf(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return ContainerKind::None;
    struct stat info {};
    std::vector<unsigned char> head(512, 0), tail(512, 0);
    bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    if (regular) {
        const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
        head.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        // A fixed VHD keeps its only footer in its last sector. That sector is read only for a
        // .vhd name: under any other name a fixed VHD is read as what it also is, the raw disk
        // with one sector more, and the end of a failing medium is not asked for before the run.
        std::string extension = fs::path(path).extension().string();
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
        const bool vhdName = extension == ".vhd";
        const ssize_t end =
            vhdName && info.st_size >= 512 ? ::pread(fd, tail.data(), tail.size(), info.st_size - 512) : 0;
        tail.resize(end > 0 ? static_cast<std::size_t>(end) : 0);
    }
    ::close(fd);
    if (!regular)
        return ContainerKind::None;
    if (startsWith(head, 0, kEwf1, sizeof kEwf1) || startsWith(head, 0, kEwf2, sizeof kEwf2) ||
        startsWith(head, 0, kLvf1, sizeof kLvf1))
        return ContainerKind::Ewf;
    if (startsWith(head, 0, "KDMV") || startsWith(head, 0, "COWD") ||
        startsWith(head, 0, "# Disk DescriptorFile"))
        return ContainerKind::Vmdk;
    if (startsWith(head, 0, "vhdxfile"))
        return ContainerKind::Vhdx;
    if (startsWith(head, 0, kQcow, sizeof kQcow))
        return ContainerKind::Qcow;
    if (startsWith(head, 0, "conectix") || startsWith(tail, 0, "conectix") || startsWith(tail, 1, "conectix"))
        return ContainerKind::Vhd;
    std::error_code error;
    if (const std::string next = nextSplitPiece(path); !next.empty() && fs::is_regular_file(next, error))
        return ContainerKind::SplitRaw;
    return ContainerKind::None;
}

ContainerOpening openContainerImage(ContainerKind kind, const std::string& path) {
    switch (kind) {
    case ContainerKind::Ewf:
        return openEwf(path);
    case ContainerKind::Vmdk:
        return openVmdk(path);
    case ContainerKind::Vhd:
    case ContainerKind::Vhdx:
        return openVhdi(path, kind);
    case ContainerKind::Qcow:
        return openQcow(path);
    case ContainerKind::SplitRaw:
        return openSplitRaw(path);
    case ContainerKind::None:
        break;
    }
    return {nullptr, "no disk image container"};
}
