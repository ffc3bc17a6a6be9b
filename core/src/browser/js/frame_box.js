// Where an embedded frame shows its document, in the coordinates of the
// document holding it: the frame element's content box (inside its border
// and padding), which is the frame's own viewport. Returns [element path,
// left, top, width, height], or null when the frame is not shown at all, so
// that nothing inside it counts as seen. Takes the frame element and the
// element-path function.
(el, elementPath) => {
  if (!el.isConnected || el.getClientRects().length === 0) return null;
  const style = getComputedStyle(el);
  if (!el.checkVisibility() || style.visibility !== 'visible') return null;
  const px = name => parseFloat(style[name]) || 0;
  const r = el.getBoundingClientRect();
  const width = el.clientWidth - px('paddingLeft') - px('paddingRight');
  const height = el.clientHeight - px('paddingTop') - px('paddingBottom');
  if (width <= 0 || height <= 0) return null;
  return [elementPath(el, new Map()), r.x + el.clientLeft + px('paddingLeft'), r.y + el.clientTop + px('paddingTop'),
    width, height];
}
