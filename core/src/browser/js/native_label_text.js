// The text of the <label> elements naming a control: one pointing at it by
// `for` or one wrapping it. Elements that cannot be labelled natively (a
// custom field) still take a label[for] pointing at their id. `labelFor`,
// when given, finds that label faster than a search of the whole root.
(el, labelText, labelFor) => {
  let labels = el.labels ? Array.from(el.labels) : [];
  if (!labels.length && el.id && el.getRootNode().querySelector) {
    const byFor = labelFor ? labelFor(el) : el.getRootNode().querySelector('label[for="' + CSS.escape(el.id) + '"]');
    if (byFor) labels = [byFor];
  }
  const texts = labels.map(l => (labelText(l, el) || '').trim()).filter(Boolean);
  return texts.length ? texts.join(' ') : null;
}
