// The in-page half of a batched scan: one call that reads, for every element
// the element-by-element scan would visit, the same facts that the browser
// driver's element-handle operations report, and returns them as one JSON
// text (parsing one string is far cheaper than the driver's object transfer).
//
// The driver's rules are reproduced here: its selector engine reaches into
// open shadow roots and orders matches element, light children, then shadow
// children; visibility is checkVisibility() plus computed visibility plus a
// non-empty box (display: contents looks at its children); enabled-ness
// follows labels and buttons, native disabled state, disabled fieldsets
// outside their first legend, disabled optgroups, and aria-disabled for roles
// that support it, inherited from ancestors; innerText fails outside HTML.
// Everything text-related that depends on trimming is decided in C++.
//
// `parts` carries the scanner's selectors and attribute lists and the small
// scripts this scan shares with the element-by-element scan, so each of those
// is written once.
parts => {
  const getAttr = Element.prototype.getAttribute;
  const hasAttr = Element.prototype.hasAttribute;
  const matches = Element.prototype.matches;
  const closest = Element.prototype.closest;
  const rectOf = Element.prototype.getBoundingClientRect;
  const rectsOf = Element.prototype.getClientRects;
  const styleOf = window.getComputedStyle.bind(window);
  const attr = (el, name) => getAttr.call(el, name);

  // ---- element order of the driver's selector engine ----
  const all = [];
  let shadows = false;
  {
    const stack = [document.documentElement];
    while (stack.length) {
      const el = stack.pop();
      if (!el) continue;
      all.push(el);
      const kids = [];
      for (let c = el.firstElementChild; c; c = c.nextElementSibling) kids.push(c);
      if (el.shadowRoot) {
        shadows = true;
        for (let c = el.shadowRoot.firstElementChild; c; c = c.nextElementSibling) kids.push(c);
      }
      for (let k = kids.length - 1; k >= 0; k--) stack.push(kids[k]);
    }
  }
  // Without shadow trees that order is plain document order, which the
  // browser's own selector search gives several times faster.
  const queryAll = sel => shadows ? all.filter(el => matches.call(el, sel)) : document.querySelectorAll(sel);

  // ---- element-handle operations ----
  // An element belongs to several of the scanned sets (a link is a control, a
  // text and maybe a label candidate): each fact of it is read once. Nothing
  // changes the page during the pass, so a fact read once holds throughout.
  const once = read => {
    const known = new Map();
    return el => {
      let fact = known.get(el);
      if (fact === undefined) known.set(el, fact = read(el));
      return fact;
    };
  };
  // Elements holding a drop-down, found once, so that reading shown text
  // searches only their subtrees.
  const holders = new Set();
  for (const el of all) {
    if (el.tagName !== 'SELECT') continue;
    for (let p = el.parentElement; p && !holders.has(p); p = p.parentElement) holders.add(p);
  }
  const innerText = once(el => parts.shownText(el, holders));
  // Several facts measure the same element: one layout query each.
  const rectFor = once(el => rectOf.call(el));
  const boxOf = once(el => {
    const r = rectFor(el);
    // Without any client rect the bounding rect is all zero; only then is
    // the costlier question worth asking.
    if (!(r.x || r.y || r.width || r.height) && rectsOf.call(el).length === 0) return null;
    return [r.x, r.y, r.width, r.height];
  });
  const textNodeRange = document.createRange();
  const visibleTextNode = node => {
    textNodeRange.selectNode(node);
    const r = textNodeRange.getBoundingClientRect();
    return r.width > 0 && r.height > 0;
  };
  // checkVisibility() is false for display: contents (it has no box of its
  // own), so most elements need no computed style at all.
  const visible = once(el => {
    if (!el.checkVisibility({visibilityProperty: true})) {
      const style = styleOf(el);
      if (!style) return true;
      if (style.display !== 'contents') return false;
      for (let c = el.firstChild; c; c = c.nextSibling) {
        if (c.nodeType === 1 && visible(c)) return true;
        if (c.nodeType === 3 && visibleTextNode(c)) return true;
      }
      return false;
    }
    const r = rectFor(el);
    return r.width > 0 && r.height > 0;
  });

  const safeTag = el => {
    const t = el.tagName;
    if (typeof t === 'string') {
      const c = t.charCodeAt(0);
      return c >= 97 && c <= 122 ? t.toUpperCase() : t;
    }
    return el instanceof HTMLFormElement ? 'FORM' : String(t).toUpperCase();
  };
  const parentOrHost = el => {
    if (el.parentElement) return el.parentElement;
    if (!el.parentNode) return undefined;
    if (el.parentNode.nodeType === 11 && el.parentNode.host) return el.parentNode.host;
    return undefined;
  };
  const shadowHostOf = el => {
    while (el.parentElement) el = el.parentElement;
    return parentOrHost(el);
  };
  const closestCrossShadow = (el, css) => {
    while (el) {
      const c = closest.call(el, css);
      if (c) return c;
      el = shadowHostOf(el);
    }
    return undefined;
  };
  const rootOf = el => {
    let n = el;
    while (n.parentNode) n = n.parentNode;
    return n.nodeType === 11 || n.nodeType === 9 ? n : undefined;
  };
  const idRefs = (el, ref) => {
    if (!ref) return [];
    const root = rootOf(el);
    if (!root) return [];
    try {
      const out = [];
      for (const id of ref.split(/[ \t\n\f\r]+/).filter(Boolean)) {
        const f = root.querySelector('#' + CSS.escape(id));
        if (f && !out.includes(f)) out.push(f);
      }
      return out;
    } catch (e) {
      return [];
    }
  };
  const disabledRoles = ['application', 'button', 'composite', 'gridcell', 'group', 'input', 'link', 'menuitem',
    'scrollbar', 'separator', 'tab', 'checkbox', 'columnheader', 'combobox', 'grid', 'listbox', 'menu', 'menubar',
    'menuitemcheckbox', 'menuitemradio', 'option', 'radio', 'radiogroup', 'row', 'rowheader', 'searchbox', 'select',
    'slider', 'spinbutton', 'switch', 'tablist', 'textbox', 'toolbar', 'tree', 'treegrid', 'treeitem'];
  const validRoles = ['alert', 'alertdialog', 'application', 'article', 'banner', 'blockquote', 'button', 'caption',
    'cell', 'checkbox', 'code', 'columnheader', 'combobox', 'complementary', 'contentinfo', 'definition', 'deletion',
    'dialog', 'directory', 'document', 'emphasis', 'feed', 'figure', 'form', 'generic', 'grid', 'gridcell', 'group',
    'heading', 'img', 'insertion', 'link', 'list', 'listbox', 'listitem', 'log', 'main', 'mark', 'marquee', 'math',
    'meter', 'menu', 'menubar', 'menuitem', 'menuitemcheckbox', 'menuitemradio', 'navigation', 'none', 'note',
    'option', 'paragraph', 'presentation', 'progressbar', 'radio', 'radiogroup', 'region', 'row', 'rowgroup',
    'rowheader', 'scrollbar', 'search', 'searchbox', 'separator', 'slider', 'spinbutton', 'status', 'strong',
    'subscript', 'superscript', 'switch', 'tab', 'table', 'tablist', 'tabpanel', 'term', 'textbox', 'time', 'timer',
    'toolbar', 'tooltip', 'tree', 'treegrid', 'treeitem'];
  const nameProhibited = ['caption', 'code', 'deletion', 'emphasis', 'generic', 'insertion', 'paragraph',
    'presentation', 'strong', 'subscript', 'superscript'];
  const globalAria = [['aria-atomic'], ['aria-busy'], ['aria-controls'], ['aria-current'], ['aria-describedby'],
    ['aria-details'], ['aria-dropeffect'], ['aria-flowto'], ['aria-grabbed'], ['aria-hidden'], ['aria-keyshortcuts'],
    ['aria-label', nameProhibited], ['aria-labelledby', nameProhibited], ['aria-live'], ['aria-owns'],
    ['aria-relevant'], ['aria-roledescription', ['generic']]];
  const hasGlobalAria = (el, role) =>
    globalAria.some(([a, prohibited]) => !(prohibited && prohibited.includes(role || '')) && hasAttr.call(el, a));
  const hasTabIndex = el => !Number.isNaN(Number(String(attr(el, 'tabindex'))));
  const nativelyFocusable = el => {
    const t = safeTag(el);
    if (['BUTTON', 'DETAILS', 'SELECT', 'TEXTAREA'].includes(t)) return true;
    if (t === 'A' || t === 'AREA') return hasAttr.call(el, 'href');
    if (t === 'INPUT') return !el.hidden;
    return false;
  };
  const focusable = el => !nativelyDisabled(el) && (nativelyFocusable(el) || hasTabIndex(el));
  const explicitName = el => hasAttr.call(el, 'aria-label') || hasAttr.call(el, 'aria-labelledby');
  const landmarkBlockers = 'article:not([role]), aside:not([role]), main:not([role]), nav:not([role]), ' +
    'section:not([role]), [role=article], [role=complementary], [role=main], [role=navigation], [role=region]';
  const listBox = s => s.multiple || s.size > 1;
  const inputRoles = { button: 'button', checkbox: 'checkbox', image: 'button', number: 'spinbutton',
    radio: 'radio', range: 'slider', reset: 'button', submit: 'button' };
  const fixed = r => () => r;
  const implicitRoles = {
    A: e => hasAttr.call(e, 'href') ? 'link' : null, AREA: e => hasAttr.call(e, 'href') ? 'link' : null,
    ARTICLE: fixed('article'), ASIDE: fixed('complementary'), BLOCKQUOTE: fixed('blockquote'),
    BUTTON: fixed('button'), CAPTION: fixed('caption'), CODE: fixed('code'), DATALIST: fixed('listbox'),
    DD: fixed('definition'), DEL: fixed('deletion'), DETAILS: fixed('group'), DFN: fixed('term'),
    DIALOG: fixed('dialog'), DT: fixed('term'), EM: fixed('emphasis'), FIELDSET: fixed('group'),
    FIGURE: fixed('figure'),
    FOOTER: e => closestCrossShadow(e, landmarkBlockers) ? null : 'contentinfo',
    FORM: e => explicitName(e) ? 'form' : null,
    H1: fixed('heading'), H2: fixed('heading'), H3: fixed('heading'), H4: fixed('heading'), H5: fixed('heading'),
    H6: fixed('heading'),
    HEADER: e => closestCrossShadow(e, landmarkBlockers) ? null : 'banner',
    HR: fixed('separator'), HTML: fixed('document'),
    IMG: e => attr(e, 'alt') === '' && !attr(e, 'title') && !hasGlobalAria(e) && !hasTabIndex(e) ? 'presentation' : 'img',
    INPUT: e => {
      const type = e.type.toLowerCase();
      if (['email', 'search', 'tel', 'text', 'url', ''].includes(type)) {
        const list = idRefs(e, attr(e, 'list'))[0];
        if (list && safeTag(list) === 'DATALIST') return 'combobox';
        return type === 'search' ? 'searchbox' : 'textbox';
      }
      if (type === 'hidden') return null;
      if (type === 'file') return 'button';
      return inputRoles[type] || 'textbox';
    },
    INS: fixed('insertion'), LI: fixed('listitem'), MAIN: fixed('main'), MARK: fixed('mark'), MATH: fixed('math'),
    MENU: fixed('list'), METER: fixed('meter'), NAV: fixed('navigation'), OL: fixed('list'), OPTGROUP: fixed('group'),
    OPTION: fixed('option'), OUTPUT: fixed('status'), P: fixed('paragraph'), PROGRESS: fixed('progressbar'),
    SEARCH: fixed('search'), SECTION: e => explicitName(e) ? 'region' : null,
    SELECT: e => listBox(e) ? 'listbox' : 'combobox', STRONG: fixed('strong'), SUB: fixed('subscript'),
    SUP: fixed('superscript'), SVG: fixed('img'), TABLE: fixed('table'), TBODY: fixed('rowgroup'),
    TD: e => {
      const table = closestCrossShadow(e, 'table');
      const role = table ? explicitRole(table) : '';
      return role === 'grid' || role === 'treegrid' ? 'gridcell' : 'cell';
    },
    TEXTAREA: fixed('textbox'), TFOOT: fixed('rowgroup'),
    TH: e => {
      const scope = attr(e, 'scope');
      if (scope === 'col' || scope === 'colgroup') return 'columnheader';
      if (scope === 'row' || scope === 'rowgroup') return 'rowheader';
      const next = e.nextElementSibling;
      const prev = e.previousElementSibling;
      const row = !!e.parentElement && safeTag(e.parentElement) === 'TR' ? e.parentElement : undefined;
      if (!next && !prev) {
        if (row) {
          const table = closestCrossShadow(row, 'table');
          if (table && table.rows.length <= 1) return null;
        }
        return 'columnheader';
      }
      const headerCell = x => !!x && safeTag(x) === 'TH';
      const dataCell = x => !!x && safeTag(x) === 'TD' && !!((x.textContent && x.textContent.trim()) || x.children.length > 0);
      if (headerCell(next) && headerCell(prev)) return 'columnheader';
      if (dataCell(next) || dataCell(prev)) return 'rowheader';
      return 'columnheader';
    },
    THEAD: fixed('rowgroup'), TIME: fixed('time'), TR: fixed('row'), UL: fixed('list'),
  };
  const inheritParents = { DD: ['DL', 'DIV'], DIV: ['DL'], DT: ['DL', 'DIV'], LI: ['OL', 'UL'], TBODY: ['TABLE'],
    TD: ['TR'], TFOOT: ['TABLE'], TH: ['TR'], THEAD: ['TABLE'], TR: ['THEAD', 'TBODY', 'TFOOT', 'TABLE'] };
  const explicitRole = el => {
    const roles = (attr(el, 'role') || '').toLowerCase().split(' ').map(r => r.trim());
    return roles.find(r => validRoles.includes(r)) || null;
  };
  const conflictResolution = (el, role) => hasGlobalAria(el, role) || focusable(el);
  const implicitRole = el => {
    const f = implicitRoles[safeTag(el)];
    const role = (f && f(el)) || '';
    if (!role) return null;
    let a = el;
    while (a) {
      const parent = parentOrHost(a);
      const parents = inheritParents[safeTag(a)];
      if (!parents || !parent || !parents.includes(safeTag(parent))) break;
      const pr = explicitRole(parent);
      if ((pr === 'none' || pr === 'presentation') && !conflictResolution(parent, pr)) return pr;
      a = parent;
    }
    return role;
  };
  const roleCache = new Map();
  const ariaRole = el => {
    if (roleCache.has(el)) return roleCache.get(el);
    const ex = explicitRole(el);
    let role = ex;
    if (!ex) role = implicitRole(el);
    else if (ex === 'none' || ex === 'presentation') {
      const im = implicitRole(el);
      if (conflictResolution(el, im)) role = im;
    }
    roleCache.set(el, role);
    return role;
  };
  const nativelyDisabled = el => {
    const t = safeTag(el);
    if (!['BUTTON', 'INPUT', 'SELECT', 'TEXTAREA', 'OPTION', 'OPTGROUP'].includes(t)) return false;
    if (hasAttr.call(el, 'disabled')) return true;
    if (t === 'OPTION' && !!closest.call(el, 'OPTGROUP[DISABLED]')) return true;
    const fs = closest.call(el, 'FIELDSET[DISABLED]');
    if (!fs) return false;
    const legend = fs.querySelector(':scope > LEGEND');
    return !legend || !legend.contains(el);
  };
  const chainCache = new Map();
  const ariaDisabledInChain = el => {
    if (chainCache.has(el)) return chainCache.get(el);
    const a = (attr(el, 'aria-disabled') || '').toLowerCase();
    let result;
    if (a === 'true') result = true;
    else if (a === 'false') result = false;
    else {
      const p = parentOrHost(el);
      result = p ? ariaDisabledInChain(p) : false;
    }
    chainCache.set(el, result);
    return result;
  };
  const ariaDisabled = el =>
    nativelyDisabled(el) || (disabledRoles.includes(ariaRole(el) || '') && ariaDisabledInChain(el));
  const followLabel = el => {
    if (!matches.call(el, 'input, textarea, select') && !el.isContentEditable)
      el = closest.call(el, 'button, [role=button], [role=checkbox], [role=radio]') || el;
    if (!matches.call(el, 'a, input, textarea, button, select, option, optgroup, [role=link], [role=button], [role=checkbox], [role=radio]') && !el.isContentEditable) {
      const label = closest.call(el, 'label');
      if (label && label.control) el = label.control;
    }
    return el;
  };
  const enabled = el => !ariaDisabled(followLabel(el));

  // ---- scanner scripts ----
  const paths = new Map();
  const xpathOf = el => parts.elementPath(el, paths);
  const dataAttrs = el => {
    const pairs = [];
    const list = el.attributes;
    for (let k = 0; k < list.length; k++) if (list[k].name.startsWith('data-')) pairs.push([list[k].name, list[k].value]);
    return pairs;
  };
  // Most listed attributes are absent: only those present are sent, as
  // position, value, position, value, ... in the order of the list.
  const present = values => {
    const out = [];
    for (let i = 0; i < values.length; i++) if (values[i] !== null) out.push(i, values[i]);
    return out;
  };
  const attrsOf = (el, names) => present(names.map(n => attr(el, n)));
  // The listed attributes and the data-* pairs, from one walk over the
  // element's attributes rather than a lookup per name; the first attribute
  // of a name is the one getAttribute answers with.
  const positions = names => new Map(names.map((n, k) => [n, k]));
  const capturedAt = positions(parts.captured), textAttributesAt = positions(parts.textAttributes);
  const attributeFacts = (el, names, at) => {
    const list = el.attributes;
    // A form's controls can hide its own `attributes` under that name.
    if (!(list instanceof NamedNodeMap)) return [attrsOf(el, names), dataAttrs(el)];
    const values = new Array(names.length).fill(null);
    const pairs = [];
    for (let k = 0; k < list.length; k++) {
      const name = list[k].name;
      const i = at.get(name);
      if (i !== undefined && values[i] === null) values[i] = list[k].value;
      if (name.startsWith('data-')) pairs.push([name, list[k].value]);
    }
    return [present(values), pairs];
  };
  const siblingLabel = parts.siblingLabel;
  const parentLabel = parts.parentLabel;

  // label[for] by its value, one search per document or shadow root: asking
  // each root again for every unlabelled field grows with the square of the page.
  const labelsFor = new Map();
  const labelFor = el => {
    const root = el.getRootNode();
    if (el.id.includes('\0')) return root.querySelector('label[for="' + CSS.escape(el.id) + '"]');
    let byFor = labelsFor.get(root);
    if (!byFor) {
      labelsFor.set(root, byFor = new Map());
      for (const label of root.querySelectorAll('label[for]')) {
        const target = getAttr.call(label, 'for');
        if (!byFor.has(target)) byFor.set(target, label);
      }
    }
    return byFor.get(el.id) || null;
  };

  // The field label's sources, most telling first; C++ takes the first with
  // text. Letters or digits are text under any notion of white space, so the
  // sources after one that has them are never read.
  const worded = /[\p{L}\p{N}]/u;
  const labelSources = [
    el => parts.labelledbyText(el, parts.labelText),
    el => attr(el, 'aria-label'),
    el => parts.nativeLabelText(el, parts.labelText, labelFor),
    el => attr(el, 'placeholder'),
    el => attr(el, 'title'),
    siblingLabel,
    parentLabel,
    parts.cellLabel,
  ];
  const labelFacts = el => {
    const found = [];
    for (const source of labelSources) {
      let value;
      try { value = source(el); } catch (e) { value = null; }
      found.push(value);
      if (typeof value === 'string' && worded.test(value)) break;
    }
    return found;
  };

  const out = { i: [], c: [], p: null, l: [], t: [] };
  const labelled = new Set(['input', 'textarea', 'select']);
  for (const el of queryAll(parts.interactable)) {
    const v = visible(el), e = enabled(el);
    const tag = el.tagName.toLowerCase();
    let text;
    try { text = innerText(el); } catch (err) { continue; }
    const value = attr(el, 'value');
    const b = boxOf(el);
    if (!b || b[2] <= 0 || b[3] <= 0) continue;
    if (!v && !attr(el, 'aria-label') && !attr(el, 'title')) continue;
    const [captured, pairs] = attributeFacts(el, parts.captured, capturedAt);
    out.i.push([v, e, tag, text, value, b, captured, pairs, xpathOf(el),
      labelled.has(tag) ? labelFacts(el) : null, parts.iconName(el), parts.checkedState(el)]);
  }
  for (const el of queryAll(parts.custom)) {
    const b = boxOf(el);
    if (!b || b[2] <= 0 || b[3] <= 0 || !visible(el)) continue;
    let text;
    try { text = innerText(el); } catch (err) { text = null; }
    out.c.push([el.tagName.toLowerCase(), attr(el, 'class'), b, xpathOf(el), text,
      text === null ? null : attrsOf(el, parts.captured), text === null ? null : labelFacts(el)]);
  }
  try { out.p = parts.pointerScan(parts.elementPath, parts.iconName); } catch (err) { out.p = null; }
  for (const el of queryAll(parts.candidates)) {
    if (!visible(el)) continue;
    let text;
    try { text = innerText(el); } catch (err) { continue; }
    const b = boxOf(el);
    if (!b || b[3] > parts.maxLabelHeight) continue;
    out.l.push([text, b]);
  }
  // Whether a text element has words of its own and where those words sit
  // both look for its own text nodes: found once, measured with one range.
  const wordsRange = document.createRange();
  const ownWords = el => parts.ownWords(el, parts.notOwn);
  for (const el of queryAll(parts.text)) {
    if (!visible(el)) continue;
    let text;
    try { text = innerText(el); } catch (err) { continue; }
    if (!text) continue;
    const b = boxOf(el);
    if (!b) continue;
    const words = ownWords(el);
    const [captured, pairs] = attributeFacts(el, parts.textAttributes, textAttributesAt);
    out.t.push([el.tagName.toLowerCase(), text, b, xpathOf(el), captured, pairs, words.length > 0,
      words.length ? parts.textBox(el, rectFor(el), words, wordsRange) : null]);
  }
  // A lone half of a surrogate pair (text cut mid-character by a script) is
  // written as an escape no JSON reader takes: such text carries U+FFFD there
  // instead, as it would once encoded. Only a page with one pays for the check.
  const json = JSON.stringify(out);
  if (!/\\u[dD][89a-fA-F]/.test(json)) return json;
  return JSON.stringify(out, (key, value) => typeof value === 'string' ? value.toWellFormed() : value);
}
