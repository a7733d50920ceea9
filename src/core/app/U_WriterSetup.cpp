#include "app/U_WriterSetup.h"

#include "platform/os/U_Settings.h"
#include "video/U_VideoWriter.h"

void SetUpWriter(TVideoWriter& writer, const TWriterSetup& setup) {
    writer.ClearErrors();
    TVideoFormat format;
    format.Width = setup.Width;
    format.Height = setup.Height;
    format.FrameDuration = setup.FrameDuration;
    format.FrameRate = setup.FrameRate;
    format.FileName = setup.FileName;
    format.ReservedFile = setup.ReservedFile;
    writer.SetVideoFormat(format);
    writer.SetCodec(setup.FourCC);
    // Only a preference for the next run: a store that cannot be written must not stop this one.
    WriteSetting("LastFCC", setup.FourCC);
    try {
        writer.Open();
    } catch (...) {
        writer.Abandon();
        throw;
    }
}
