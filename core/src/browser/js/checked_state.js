// Whether a check box, radio button or switch is ticked; null for anything
// that cannot be. A native box reports its live state, an ARIA one its
// aria-checked ("mixed" is not ticked).
el => {
  if (el.tagName === 'INPUT') {
    const type = (el.type || '').toLowerCase();
    return type === 'checkbox' || type === 'radio' ? el.checked : null;
  }
  const role = (el.getAttribute('role') || '').trim().toLowerCase();
  const roles = ['checkbox', 'radio', 'switch', 'menuitemcheckbox', 'menuitemradio'];
  return roles.includes(role) ? el.getAttribute('aria-checked') === 'true' : null;
}
