// Keeps watch over the page after a scan, so that the next scan can tell
// whether anything its records depend on may have changed since. Installs a
// new watch (dropping the old one) and returns its id; `window[key].unchanged()`
// is true while the page still looks exactly as it did when the watch began.
//
// Records hold tags, texts, attributes, boxes relative to the viewport,
// visibility and enabled state. Those change through the DOM (a mutation,
// in the document or in an open shadow tree), through scrolling or resizing
// (boxes), through the state of pointer and focus (:hover and :focus rules),
// through form state where the page's style sheets or the records read it,
// through loads (images, fonts) and through running animations. Anything
// that is not known to be harmless counts as a change.
(key) => {
  if (window[key]) window[key].stop();
  let changed = false;
  const change = () => { changed = true; };
  const options = {subtree: true, childList: true, attributes: true, characterData: true};
  const observer = new MutationObserver(change);
  observer.observe(document, options);
  const scrolled = [];
  // A script may tick a box or pick an option by setting a property, which
  // neither mutates the DOM nor fires an event: their states are compared.
  const boxes = [];
  const selects = [];
  const roots = [document];
  for (let i = 0; i < roots.length; i++) {
    const walker = document.createTreeWalker(roots[i], NodeFilter.SHOW_ELEMENT);
    for (let el = walker.nextNode(); el; el = walker.nextNode()) {
      if (el.shadowRoot) {
        observer.observe(el.shadowRoot, options);
        roots.push(el.shadowRoot);
      }
      if (el instanceof HTMLInputElement && (el.type === 'checkbox' || el.type === 'radio')) boxes.push([el, el.checked]);
      else if (el instanceof HTMLSelectElement) selects.push([el, el.selectedIndex]);
      // Scroll events arrive a frame late: compare offsets instead.
      if (el.scrollTop || el.scrollLeft || el.scrollHeight > el.clientHeight || el.scrollWidth > el.clientWidth)
        scrolled.push([el, el.scrollTop, el.scrollLeft]);
    }
  }
  const view = () => [scrollX, scrollY, innerWidth, innerHeight, devicePixelRatio].join();
  const viewAtStart = view();

  // Every input may change a record: a drop-down shows its choice, a check
  // box records whether it is ticked. Ticking a box or radio button in the
  // document itself changes only the ticked state of its group's records,
  // unless a style rule reads form state: those are noted, for the next
  // scan to mend in place rather than read the whole page again.
  let formStateStyles = null;
  const readsFormState = () => {
    if (formStateStyles === null) {
      formStateStyles = false;
      for (const sheet of document.styleSheets) {
        try {
          for (const rule of sheet.cssRules)
            if (/:(checked|indeterminate|invalid|valid|user-invalid|user-valid|default|has)\b/.test(rule.cssText))
              formStateStyles = true;
        } catch (e) {
          formStateStyles = true;  // a style sheet we may not read
        }
      }
      for (const sheet of document.adoptedStyleSheets || []) formStateStyles = true;
    }
    return formStateStyles;
  };
  const ticked = new Set();
  const group = box => box.type !== 'radio' || !box.name ? [box]
    : Array.from(document.querySelectorAll('input[type=radio]')).filter(r => r.name === box.name && r.form === box.form);
  const tick = box => {
    if (box.getRootNode() !== document || readsFormState()) return change();
    for (const b of group(box)) ticked.add(b);
  };
  const formChange = event => {
    const t = event.target;
    if (!(t instanceof HTMLInputElement && (t.type === 'checkbox' || t.type === 'radio'))) return change();
    tick(t);
  };
  const quietFormChanges = () => {
    for (const entry of boxes)
      if (entry[0].checked !== entry[1]) {
        entry[1] = entry[0].checked;
        tick(entry[0]);
      }
    if (selects.some(([el, index]) => el.selectedIndex !== index)) change();
  };
  const events = ['scroll', 'resize', 'mouseover', 'mouseout', 'focusin', 'focusout', 'load', 'error', 'toggle',
    'transitionrun', 'transitionend', 'animationstart', 'animationend', 'fullscreenchange', 'pageshow'];
  for (const name of events) window.addEventListener(name, change, {capture: true, passive: true});
  for (const name of ['input', 'change']) window.addEventListener(name, formChange, {capture: true, passive: true});
  if (document.fonts) document.fonts.addEventListener('loadingdone', change);

  const id = Date.now().toString(36) + Math.random().toString(36).slice(2);
  window[key] = {
    id,
    unchanged: () => {
      if (observer.takeRecords().length) changed = true;
      quietFormChanges();
      if (changed || view() !== viewAtStart || document.getAnimations().length) return false;
      return scrolled.every(([el, top, left]) => el.scrollTop === top && el.scrollLeft === left);
    },
    // The boxes ticked since the last call, as the scan answers them: '' for
    // none, else '~' and their [[path, checked], ...].
    ticks: (pathOf) => {
      if (!ticked.size) return '';
      const known = new Map();
      const out = Array.from(ticked, b => [pathOf(b, known), b.checked]);
      ticked.clear();
      return '~' + JSON.stringify(out);
    },
    stop: () => {
      observer.disconnect();
      for (const name of events) window.removeEventListener(name, change, {capture: true});
      for (const name of ['input', 'change']) window.removeEventListener(name, formChange, {capture: true});
      if (document.fonts) document.fonts.removeEventListener('loadingdone', change);
    },
  };
  return id;
}
