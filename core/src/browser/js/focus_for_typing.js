// A rich editor keeps its real field (a textarea) clipped or covered, so no
// click can reach it and a click would wait out its whole time limit; such a
// field is focused as the editor itself would focus it. The answer is 'click'
// when a click at the centre reaches the element (or focusing did not take),
// 'focused' when the element now has the focus.
el => {
  const r = el.getBoundingClientRect();
  const hit = document.elementFromPoint(r.left + r.width / 2, r.top + r.height / 2);
  if (hit && (hit === el || el.contains(hit))) return 'click';
  el.focus();
  const active = document.activeElement;
  return active && (active === el || el.contains(active)) ? 'focused' : 'click';
}
