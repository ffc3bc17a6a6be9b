// Forgets that the document asked for a new page (js/open_watch.js): the
// page it asked for has been followed.
() => { window.__vantleOpened = false; }
