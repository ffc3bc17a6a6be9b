// A form laid out as a table names each field in the cell before the field's
// own: <tr><th>Change Note</th><td><textarea></td></tr>. Only a header cell
// or a cell whose words end in a colon counts, so that a data row's cells do
// not name the controls beside them; a cell with several fields names none.
el => {
  const cell = el.closest('td');
  if (!cell || !cell.parentElement || cell.parentElement.tagName !== 'TR') return null;
  if (cell.querySelectorAll('input:not([type=hidden]), select, textarea').length !== 1) return null;
  for (let s = cell.previousElementSibling; s; s = s.previousElementSibling) {
    if (s.tagName !== 'TH' && s.tagName !== 'TD') continue;
    const t = (s.textContent || '').replace(/\s+/g, ' ').trim();
    if (!t) continue;
    return t.length < 50 && (s.tagName === 'TH' || t.endsWith(':')) ? t : null;
  }
  return null;
}
