#include "filelist/file_adder.h"

#include <QCoreApplication>

#include "common/messages.h"
#include "filelist/file_list_model.h"
#include "filelist/probe.h"

namespace ostrel {

const QList<OpenFilterEntry>& OpenFilterTable() {
    static const QList<OpenFilterEntry> table = {
        {QStringLiteral("All Supported Media Files"),
         QStringLiteral("*.3gp;*.3g2;*.3gpp;*.3g;*.k3g;*.3gp2;*.amv;*.avi;*.flv;*.f4v;*.mkv;*.mpg;"
                        "*.mpeg;*.mpe;*.m1v;*.m2v;*.m2t;*.tod;*.mp4;*.m4v;*.rm;*.rmvb;*.mov;*.qt;"
                        "*.dat;*.vob;*.wmv;*.asf;*.webm;*.dpg;*.dv;*.mp2;*.mp3;*.wma;*.wav;*.ogg;"
                        "*.aac;*.ac3;*.aif;*.aiff;*.flac;*.m4a;*.ra;*.ape;*.mmf;*.m4r;*.wv")},
        {QStringLiteral("All Supported Audio Files"),
         QStringLiteral("*.mp2;*.mp3;*.wma;*.wav;*.ogg;*.aac;*.ac3;*.aif;*.aiff;*.flac;*.m4a;*.ra;"
                        "*.ape;*.mmf;*.m4r;*.wv")},
        {QStringLiteral("All Supported Video Files"),
         QStringLiteral("*.3gp;*.3g2;*.3gpp;*.3g;*.k3g;*.3gp2;*.amv;*.avi;*.flv;*.f4v;*.mkv;*.mpg;"
                        "*.mpeg;*.mpe;*.m1v;*.m2v;*.m2t;*.tod;*.mp4;*.m4v;*.rm;*.rmvb;*.mov;*.qt;"
                        "*.dat;*.vob;*.wmv;*.asf;*.webm;*.dpg;*.dv")},
        {QStringLiteral("Audio - Advanced Audio Coding Files (*.aac)"), QStringLiteral("*.aac")},
        {QStringLiteral("Audio - Audio InterChange File Format (*.aif;*.aiff)"),
         QStringLiteral("*.aif;*.aiff")},
        {QStringLiteral("Audio - Audio Coding 3 (*.ac3)"), QStringLiteral("*.ac3")},
        {QStringLiteral("Audio - Free Lossless Audio Codec (*.flac)"), QStringLiteral("*.flac")},
        {QStringLiteral("Audio - Monkey's Audio (*.ape)"), QStringLiteral("*.ape")},
        {QStringLiteral("Audio - MPEG Layer-2 Audio (*.mp2)"), QStringLiteral("*.mp2")},
        {QStringLiteral("Audio - MPEG Layer-3 Audio (*.mp3)"), QStringLiteral("*.mp3")},
        {QStringLiteral("Audio - MPEG-4 Audio (*.m4a,*.m4r)"), QStringLiteral("*.m4a;*.m4r")},
        {QStringLiteral("Audio - Ogg Vorbis Audio (*.ogg)"), QStringLiteral("*.ogg")},
        {QStringLiteral("Audio - Real Audio (*.ra)"), QStringLiteral("*.ra")},
        {QStringLiteral("Audio - Waveform Audio (*.wav)"), QStringLiteral("*.wav")},
        {QStringLiteral("Audio - Windows Media Audio (*.wma)"), QStringLiteral("*.wma")},
        {QStringLiteral("Audio - WavPack Audio (*.wv)"), QStringLiteral("*.wv")},
        {QStringLiteral("Audio - Yamaha Synthetic Music Mobile Application Format (*.mmf)"),
         QStringLiteral("*.mmf")},
        {QStringLiteral("Video - 3GPP files(*.3gp,*.3g2,*.3gpp;*,3g,*.k3g,*,3gp2)"),
         QStringLiteral("*.3gp;*.3g2;*.3gpp;*.3g;*.k3g;*.3gp2")},
        {QStringLiteral("Video - AMV files (*.amv)"), QStringLiteral("*.amv")},
        {QStringLiteral("Video - AVI Files (*.avi)"), QStringLiteral("*.avi")},
        {QStringLiteral("Video - Digital Video Files (*.dv)"), QStringLiteral("*.dv")},
        {QStringLiteral("Video - DVD Video Files (*.vob)"), QStringLiteral("*.vob")},
        {QStringLiteral("Video - Flash Video (*.flv,*.f4v)"), QStringLiteral("*.flv;*.f4v")},
        {QStringLiteral("Video - Matroska Video (*.mkv)"), QStringLiteral("*.mkv")},
        {QStringLiteral("Video - MPEG Files (*.mpg,*.mpeg,*.mpe,*.m1v,*.m2v,*.m2t,*.tod)"),
         QStringLiteral("*.mpg;*.mpeg;*.mpe;*.m1v;*.m2v;*.m2t;*.tod")},
        {QStringLiteral("Video - MPEG-4 files(*.mp4,*.m4v)"), QStringLiteral("*.mp4;*.m4v")},
        {QStringLiteral("Video - NDS DPG Files (*.dpg)"), QStringLiteral("*.dpg")},
        {QStringLiteral("Video - QuickTime Files (*.mov,*.qt)"), QStringLiteral("*.mov;*.qt")},
        {QStringLiteral("Video - RealMedia file (*.rm,*.rmvb)"), QStringLiteral("*.rm;*.rmvb")},
        {QStringLiteral("Video - VCD Movie Files (*.dat)"), QStringLiteral("*.dat")},
        {QStringLiteral("Video - WebM Video Files (*.webm)"), QStringLiteral("*.webm")},
        {QStringLiteral("Video - Windows Media Video Files (*.wmv,*.asf)"),
         QStringLiteral("*.wmv;*.asf")},
        {QStringLiteral("All Files (*.*)"), QStringLiteral("*.*")},
    };
    return table;
}

// The general entries of the open dialog's file types, for the translation tools; the entries
// of single formats keep the names the formats are known by.
[[maybe_unused]] constexpr const char* kTranslatedFilterLabels[] = {
    QT_TRANSLATE_NOOP("ostrel::FileAdder", "All Supported Media Files"),
    QT_TRANSLATE_NOOP("ostrel::FileAdder", "All Supported Audio Files"),
    QT_TRANSLATE_NOOP("ostrel::FileAdder", "All Supported Video Files"),
    QT_TRANSLATE_NOOP("ostrel::FileAdder", "All Files (*.*)"),
};

QStringList OpenFilterNameFilters() {
    QStringList filters;
    for (const OpenFilterEntry& entry : OpenFilterTable()) {
        QStringList patterns = entry.Pattern.split(u';', Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            // "*.*" is every file on the platform the table was written for; here a name
            // without a dot would not match it.
            if (pattern == QStringLiteral("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        const QString label =
            QCoreApplication::translate("ostrel::FileAdder", entry.Label.toUtf8().constData());
        filters.append(label + QStringLiteral(" (") + patterns.join(u' ') + u')');
    }
    return filters;
}

AddResult ProbeAndAdd(FileListModel& model, engine::Decoder& decoder, const QString& path,
                      const QString& relativeFolder) {
    AddResult result;
    if (model.IsListed(path)) {
        result.Outcome = AddOutcome::AlreadyListed;
        return result;
    }
    // The row is appended only once the probe is complete, so a row is never left half
    // filled and nothing is written into a row that vanished meanwhile.
    ProbeResult probe = ProbeFile(decoder, path);
    if (!probe.Opened) {
        result.Outcome = AddOutcome::Rejected;
        result.Message = CanNotOpenText(path, probe.Error);
        return result;
    }
    result.Outcome = AddOutcome::Added;
    probe.Row.RelativeFolder = relativeFolder;
    result.Row = model.Append(probe.Row);
    return result;
}

}  // namespace ostrel
