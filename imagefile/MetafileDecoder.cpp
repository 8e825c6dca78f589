// Windows metafiles and enhanced metafiles, played by our own player onto a white picture:
// MetafilePlayer keeps the device context and draws, MetafileEmf and MetafileWmf read the two
// kinds of record. Text is placed by the player and drawn by the renderer the program
// registers (MetafileText.h); without one it is left out, and so is text that goes into a
// path. Raster operations other than plain copies and region shapes are not drawn; clip
// regions and clip paths are taken by their bounding rectangles.

#include "imagefile/ByteOrder.h"
#include "imagefile/MetafilePlayer.h"
#include "imagefile/MetafileRecords.h"
#include "imagefile/PictureDecoder.h"

void CMetafileDecoder::MakePicture(CDataSource& source, CPicture& picture, int wantedBpp) {
    size_t size = 0;
    const uint8_t* data = source.ReadEverything(&size);
    // Enhanced metafiles start with their header record (type 1); a Windows metafile's first
    // word is the placeable key or the file type 1 or 2 followed by the header size 9.
    if (size >= 4 && LE32(data) == uint32_t(metafile::EmfRecord::Header))
        metafile::DecodeEmf(data, size, picture, wantedBpp);
    else
        metafile::DecodeWmf(data, size, picture);
}
