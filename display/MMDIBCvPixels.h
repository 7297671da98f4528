// The pixel routines of the DIB canvas and the drawing target they work on.
//
// TMMDIBCanvas::BeginDrawing points the one process-wide drawing target at a
// canvas and EndDrawing clears it; the routines below work only in between
// (with no target they do nothing). Coordinates are pixels from the top-left
// corner; everything is clipped to the target's clip rectangle and nothing is
// written outside it. Colours are the target's fill value (SetFillIndex /
// SetDrawColor of the canvas): a palette index at 8 bits, a colour at 24.
//
// GUI thread only; one drawing period at a time.
#pragma once

#include <cstdint>

namespace keb
{

struct TDIBClipRect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

struct TDrawingTarget
{
    int BitsPerPixel = 0;
    int BytesPerPixel = 0;
    int Width = 0;
    int Height = 0;
    int Stride = 0;
    // Bytes from one row to the row below it.
    int RowStep = 0;
    std::uint8_t* Bits = nullptr;
    TDIBClipRect Clip;
    int PenX = 0;
    int PenY = 0;
    // At 8 bits the palette index in all four bytes, at 24 bits the colour.
    std::uint32_t FillValue = 0;
};

// The target of the drawing period in progress (Bits null when none).
TDrawingTarget& DrawingTarget();

// Fills the whole picture with the fill value.
void ClearDIB();

// 8 bits only: writes count bytes of source as one column at x, from row topY
// downwards; rows outside the clip rectangle are skipped (the source is not
// advanced for rows clipped at the top).
void DrawColumn(int count, const std::uint8_t* source, int topY, int x);

// Copies width x height pixels from (sourceX, sourceY) of sourceBits (laid
// out like the target) to (destX, destY) of the target; both rectangles are
// clipped, and overlapping areas within one buffer are copied correctly.
void MoveRect(const std::uint8_t* sourceBits, int sourceX, int sourceY, int width, int height,
              int destX, int destY);

void DIBSetPixel(int x, int y);
// The pixel value (index or colour); 0 outside the clip rectangle.
std::uint32_t DIBGetPixel(int x, int y);
// Fills [left, right) x [top, bottom).
void DIBFillRect(int left, int top, int right, int bottom);
// Row y from x1 to x2 inclusive (either order).
void DIBHorizLine(int x1, int x2, int y);
// Column x from y1 to y2 inclusive (either order).
void DIBVertLine(int x, int y1, int y2);
// Sets the fill value where mask (width x height bytes, row by row) is not 0,
// with the mask's top-left corner at (left, top).
void DIBDrawMask(const std::uint8_t* mask, int width, int height, int left, int top);

} // namespace keb
