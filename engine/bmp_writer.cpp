// The BMP writer's passes: each takes its numbers and names from the record when it starts, opens
// what it needs, hands the work to the conversion core and closes its files again.
#include "bmp_writer.h"

#include "byte_io.h"
#include "conversion.h"
#include "errors.h"
#include "file_io.h"
#include "named_source.h"
#include "source_header.h"

namespace pcx {

namespace {

// Runs a pass's work on an open output. On an error what was written so far is flushed to the file
// before the error leaves, so the output holds everything completed.
template <typename Work>
void WithOutput(File &output, Work work)
{
    try {
        FileSink sink(output);
        work(sink);
    } catch (...) {
        try {
            output.Close();
        } catch (const Error &) {
            // The first error is the one to report.
        }
        throw;
    }
    output.Close();
}

} // namespace

void ConvertIndexed(CurrentFileRecord &record, const PassOutput &output)
{
    record.setProgress(0);
    WriteBmpHeader(record, output, kIndexedBytesPerPixel);
    record.setProgress(10);
    WriteBmpPalette(record, record.panel(Panel::Name), output);
    record.setProgress(45);
    WriteBmpPixels(record, record.panel(Panel::Name), output, kIndexedBytesPerPixel);
    record.setProgress(100);
}

void ConvertTrueColor(CurrentFileRecord &record, const PassOutput &output)
{
    record.setProgress(0);
    WriteBmpHeader(record, output, kTrueColorBytesPerPixel);
    record.setProgress(45);
    WriteBmpPixels(record, record.panel(Panel::Name), output, kTrueColorBytesPerPixel);
    record.setProgress(100);
}

void WriteBmpHeader(const CurrentFileRecord &record, const PassOutput &output, int k)
{
    const bmp::HeaderBytes header =
        BmpHeaderFor(PanelInteger(record, Panel::Width), PanelInteger(record, Panel::Height), k);
    File file = File::Create(output.path, output.name);
    WithOutput(file, [&](ByteSink &sink) { sink.Write(header); });
}

void WriteBmpPalette(const CurrentFileRecord &record, const std::string &sourceName, const PassOutput &output)
{
    const RowLayout layout(PanelInteger(record, Panel::Width), PanelInteger(record, Panel::Height),
                           kIndexedBytesPerPixel);
    const std::unique_ptr<ByteSource> source = OpenSource(sourceName);
    File file = File::OpenUpdate(output.path, output.name);
    WithOutput(file, [&](ByteSink &sink) {
        file.Seek(bmp::kHeaderSize);
        sink.Write(ReadColourTable(*source, ColourTableRuleFor(sourceName), layout.rows * layout.pixelBytes));
    });
}

void WriteBmpPixels(const CurrentFileRecord &record, const std::string &sourceName, const PassOutput &output,
                    int k)
{
    const RowLayout layout(PanelInteger(record, Panel::Width), PanelInteger(record, Panel::Height), k);
    const std::unique_ptr<ByteSource> source = OpenSource(sourceName);
    File file = File::OpenUpdate(output.path, output.name);
    WithOutput(file, [&](ByteSink &sink) {
        file.Seek(BmpPixelOffset(k));
        WriteBmpRows(*source, layout, sink);
    });
}

} // namespace pcx
