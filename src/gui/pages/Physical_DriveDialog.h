#pragma once
// The first page: the machine's volumes and physical drives in one tree (plus disk images the
// user adds), the kinds of files wanted, and Next into the volume or the drive path of the wizard.

#include <deque>
#include <string>
#include <vector>

#include "app/WizardPage.h"
#include "disk/DeviceEnumeration.h"

class QCheckBox;
class QTreeWidget;
class QTreeWidgetItem;

class Physical_DriveDialog final : public WizardPage {
    Q_OBJECT
public:
    static constexpr const char* kPhotoList =
        ".png|.jpg|.bmp|.gif|.tif|.mos|.mef|.psp|djvu|.tga|.pgm|.dng|.psd|indd|.jp2|.pct|.pbm|.eps|.nef|.nrw|"
        ".orf|.arw|.srf|.sr2|.kdc|.dcs|.drf|.raf|.x3f|.raw|.rw2|.pef|.mrw|.crw|.ico|.cpt|.max|.3ds|.dwg|.cr2|"
        ".kdc|.orf|.agp";
    static constexpr const char* kAudioList =
        ".mp3|.wav|.rm|.acd|.amr|.at3|.au|.dss|.iff|.m4a|.m4p|.nra|.ogg|.ra|.snd|.wma|aiff";
    static constexpr const char* kVideoList =
        ".avi|.3gp|.mp4|.mkv|.mov|.wmv|mpeg|.mpg|.mpe|divx|.f4v|.m4r|.moi|.ogm|.svi|.tod|.vid|.3g2|.asx|.mts|"
        ".flv|.vob";
    /// The ticked lists joined by "|", in the order photo, audio, video.
    static std::string typePatternFor(bool photo, bool audio, bool video);

    enum class ImageRole { Drive, Volume, Guess };

    Physical_DriveDialog();

    /// Adds a disk image: as a drive (its partitions are walked) or as a volume (read as one file
    /// system); Guess takes a volume when its first sector is a known boot sector. The new item is
    /// selected. False when the file cannot be opened.
    bool addImage(const QString& path, ImageRole role);

    /// What later pages read: the selected drive's path, the selected volume's record.
    std::string selectedDrivePath() const;
    const VolumeRecord* selectedVolume() const;
    QString selectedText() const;

    QTreeWidget* tree() const { return tree_; }
    QCheckBox* photoBox() const { return photo_; }
    QCheckBox* audioBox() const { return audio_; }
    QCheckBox* videoBox() const { return video_; }
    QTreeWidgetItem* volumesRoot() const { return volumesRoot_; }
    QTreeWidgetItem* drivesRoot() const { return drivesRoot_; }

public slots:
    void next();
    void addImageClicked();

private:
    QTreeWidgetItem* addDriveItem(const PhysicalDrive& drive);
    QTreeWidgetItem* addVolumeItem(const VolumeRecord& record);

    QTreeWidget* tree_;
    QTreeWidgetItem* volumesRoot_;
    QTreeWidgetItem* drivesRoot_;
    QCheckBox* photo_;
    QCheckBox* audio_;
    QCheckBox* video_;
    std::vector<PhysicalDrive> drives_;
    std::deque<VolumeRecord> volumes_;  // items refer to records by position; a deque keeps them in place
};
