#pragma once
// Operations that compute one output sample at a time. Two ways to run them, with the same
// results:
// - the plain reference: the region row by row, pixel by pixel, channel by channel, one
//   TransformPixel per sample, every read through the border rule;
// - the row form, when the operation has one: rows of the region handed out in bands (across
//   the machine's cores when rows are independent), each row as spans of pixels. A window
//   filter only writes TransformRow: the engine gives it row pointers in which every window
//   sample of the span lies in memory, straight from the picture inside and from rows padded
//   by the border rule at the edges, so the filter's loop has no border test.
#include <vector>

#include "kvOperations/acOperation.h"
#include "kvPixels/kvBorderRule.h"

class acSingleChannelOperation : public acOperation {
public:
  void OperationItself(const tTerminateFlag& terminated) override;
  virtual void PreProcessing() {}
  virtual void PostProcessing() {}
  virtual void TransformPixel(unsigned x, unsigned y) {}

  // On: every sample goes through TransformPixel even when the operation has a row form (the
  // reference the row form is tested against).
  void SetPixelReference(bool on) { PixelReference = on; }
  // Whether the last run went through the row form.
  bool RanByRows() const { return LastRunByRows; }

protected:
  struct sRowForm {
    // The operation implements TransformSpan (or, through the default one, TransformRow).
    bool Available = false;
    // What TransformRow reads around each pixel.
    sWindowExtent Window;
    // Rows may be computed in any order and at once on several threads: TransformSpan then
    // changes no member and writes nothing but its own pixels' results.
    bool Parallel = true;
    // Reads the result picture while writing it (recursive runs): pixels then go one at a
    // time in the plain order, each seeing what the plain driver would show it.
    bool ReadsResult = false;
  };
  // Asked after PreProcessing.
  virtual sRowForm RowForm() const { return {}; }

  // Does for pixels firstX..endX-1 of row y, all channels, what TransformPixel does for each.
  // The default gathers the window rows and calls TransformRow.
  virtual void TransformSpan(int y, int firstX, int endX);

  struct sWindowRows {
    // Window row k (0 .. Up + Down) of the span's first pixel: sample c of pixel i at column
    // offset dx (-Left .. Right) is Rows[k][(i + dx) * Channels + c].
    const uint8_t* const* Rows;
    int Channels;
    // Picture position of the span's first pixel.
    int X;
    int Y;
    // The rows are the picture's own (an interior span), not copies padded at a border: they
    // stay put and unchanged for the whole of a run that does not read its result.
    bool PictureRows = false;
  };
  // Writes count pixels (all channels) to out, pixel i at out[i * Channels + c].
  virtual void TransformRow(const sWindowRows& in, uint8_t* out, int count) {}

  // The region clipped to the surface, so fast paths never index outside the rows.
  bool RegionInsideSurface() const;

  // For operations that drive their own passes (OperationItself of their own, DriveRows per
  // pass): whether the plain reference was asked for, and the record of how the run went.
  bool PixelReferenceRequested() const { return PixelReference; }
  void NoteRanByRows(bool byRows) { LastRunByRows = byRows; }

private:
  void RunPlain(const tTerminateFlag& terminated);
  // The window rows of pixels firstX..endX-1 of row y read from surface, padded by the border
  // rule where the window leaves the picture; pad holds the padded rows. True when the rows
  // are the picture's own.
  bool GatherWindow(const cBMPSurface& surface, const sWindowExtent& window, int y, int firstX, int endX,
                    std::vector<const uint8_t*>& rows, std::vector<uint8_t>& pad) const;

  bool PixelReference = false;
  bool LastRunByRows = false;
  sWindowExtent Window;
  bool WindowReadsResult = false;
};
