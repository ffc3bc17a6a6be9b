// A control that shows no words but an icon (an SVG, an image, or an icon-font
// glyph): returns [name], where name is what a screen reader would say from
// that content (a title, an aria-label, an SVG <title>, an image's alt), or ''.
// The control's own title or aria-label is left out: it is matched as an
// attribute already, and a link titled "Change selected category" beside a
// field must not read as if it showed those words.
// Returns null for a control that shows words or holds no icon.
el => {
  if (el.matches('input, select, textarea, img') || (el.innerText || '').trim()) return null;
  const icon = 'svg, img, i, [class*="icon"], [class*="fa-"]';
  if (!el.matches(icon) && !el.querySelector(icon)) return null;
  const named = n => n.getAttribute('aria-label') || n.getAttribute('title') ||
    (n.tagName.toLowerCase() === 'svg' && n.querySelector('title') ? n.querySelector('title').textContent : '') ||
    (n.tagName === 'IMG' ? n.getAttribute('alt') : '') || '';
  for (const n of el.querySelectorAll('*')) {
    const name = named(n).trim();
    if (name) return [name];
  }
  return [''];
}
