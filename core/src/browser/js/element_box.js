// An element's box as its own document sees it, by the driver's rule (no
// client rects: no box). Inside an embedded frame the driver's own box can be
// off by the frame's border and padding, so frame content is measured here
// and moved by the frame's origin.
el => {
  if (el.getClientRects().length === 0) return null;
  const r = el.getBoundingClientRect();
  return {x: r.x, y: r.y, width: r.width, height: r.height};
}
