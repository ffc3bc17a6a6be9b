// Notes, in the page, that it asked for a new page: a pop-up from a script or
// a link or form aimed at another window. The browser reports such a page a
// little after the step that opened it, so the next scan says so, and the
// agent waits for the page instead of working on the old one. Installed once
// per document, before any step can click.
() => {
  if (window.__vantleOpenWatch) return;
  window.__vantleOpenWatch = true;
  window.__vantleOpened = false;
  const opened = () => { window.__vantleOpened = true; };
  const open = window.open;
  window.open = function (...args) {
    const page = open.apply(this, args);
    if (page) opened();
    return page;
  };
  const elsewhere = target => {
    const t = (target || '').trim().toLowerCase();
    return t !== '' && t !== '_self' && t !== '_parent' && t !== '_top';
  };
  window.addEventListener('click', event => {
    const link = event.target instanceof Element && event.target.closest('a[href][target], area[href][target]');
    if (link && elsewhere(link.target)) setTimeout(() => { if (!event.defaultPrevented) opened(); });
  }, true);
  window.addEventListener('submit', event => {
    const form = event.target;
    const target = (event.submitter && event.submitter.getAttribute('formtarget')) || form.target;
    if (elsewhere(target)) setTimeout(() => { if (!event.defaultPrevented) opened(); });
  }, true);
}
