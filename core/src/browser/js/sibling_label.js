el => {
  for (let s = el.previousElementSibling; s; s = s.previousElementSibling) {
    const direct = Array.from(s.childNodes)
      .filter(n => n.nodeType === 3)
      .map(n => n.textContent.trim())
      .filter(t => t.length > 0)
      .join(' ');
    if (direct && direct.length < 50) return direct;
    const first = s.firstElementChild;
    if (first) {
      const t = (first.textContent || '').trim();
      if (t && t.length < 50) return t;
    }
  }
  return null;
}
