#include "results/PreviewUnit.h"

#include "compare/ImageUnit.h"
#include "platform/Platform.h"
#include "results/ResultListUnit.h"
#include "search/MatchList.h"

namespace {
bool Enabled = true;
}

bool &PreviewEnabled() {
    return Enabled;
}

void ResetPreview() {
    Enabled = true;
}

std::optional<PreviewBlock> PreviewBlockOf(int row) {
    const BlockRows block = BlockRange(row);
    if (!block.Found)
        return std::nullopt;
    const SearchOptions &last = Context().LastRunOptions;
    const bool identical = last.CompareContents && last.ContentPercent == 100;
    const FileList &list = MatchList();
    PreviewBlock preview;
    preview.Group = block.Group;
    for (int r = block.First; r <= block.Last; ++r) {
        const FileRecord *record = list[std::size_t(r)].Record.get();
        if (!record || record->Mark == Virtual || record->Mark == Deleted)
            continue;
        const QString path = RowPath(r);
        if (record->ImageId < 1 && !IsImageFile(path))
            continue;
        preview.Paths.append(path);
        if (r == row)
            preview.Current = path;
        if (identical)
            break;
    }
    return preview;
}

PreviewHeight PreviewClientHeight(int pictures, int height, int saved) {
    if (pictures == 1)
        return {SingleImageClientHeight, height > SingleImageClientHeight ? height : saved};
    if (pictures > 1 && height == SingleImageClientHeight)
        return {saved, saved};
    return {height, saved};
}

LoadedPicture LoadPicture(ImageLoader &loader, const QString &path, QSize box) {
    const Platform::FileInfo info = Platform::StatPath(path, false);
    if (!info.IsFile || info.Size <= 0)
        return {};
    LoadedPicture picture;
    picture.Bitmap = loader.LoadAsBitmap(path);
    if (picture.Bitmap.isNull())
        return {};
    picture.Loaded = true;
    picture.FullSize = picture.Bitmap.size();
    picture.FileBytes = info.Size;
    ShrinkToFit(picture.Bitmap, box.width(), box.height());
    return picture;
}

QString ThumbnailSizeText(const LoadedPicture &picture) {
    return QStringLiteral("%1 x %2 pixel, %3 kb")
        .arg(picture.FullSize.width())
        .arg(picture.FullSize.height())
        .arg(picture.FileBytes / 1024);
}

QString FileNamePart(const QString &path) {
    return path.mid(path.lastIndexOf(Platform::PathDelimiter()) + 1);
}

QString FolderPart(const QString &path) {
    return path.left(path.lastIndexOf(Platform::PathDelimiter()) + 1);
}
