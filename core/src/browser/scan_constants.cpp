// Selectors and in-page scripts of the page scanner.

#include "vantle/browser/page_scanner.h"

namespace vantle::browser {

namespace {

std::string join(const std::vector<std::string>& parts) {
  std::string out;
  for (const auto& p : parts) {
    if (!out.empty()) out += ", ";
    out += p;
  }
  return out;
}

std::string interactable_selector() {
  std::vector<std::string> parts = NATIVE_TAGS;
  for (const auto& role : ARIA_ROLES) parts.push_back("[role=\"" + role + "\"]");
  for (const char* extra : {"img[alt]", "img[data-testid]", "[data-testid]"}) parts.push_back(extra);
  return join(parts);
}

}  // namespace

const std::vector<std::string> NATIVE_TAGS = {"button", "input", "a", "select", "textarea"};
const std::vector<std::string> ARIA_ROLES = {
    "button", "link",   "textbox",   "checkbox", "menuitem", "menuitemcheckbox", "menuitemradio",
    "option", "combobox", "searchbox", "spinbutton", "switch", "tab"};
const std::string INTERACTABLE_SELECTOR = interactable_selector();
const std::vector<std::string> CAPTURED_ATTRIBUTES = {
    "id",    "name", "type", "placeholder", "aria-label", "aria-labelledby", "title",
    "role",  "href", "value", "class",      "data-testid", "alt"};
const std::string CUSTOM_INPUT_SELECTOR =
    "span[class*='editable'], div[class*='editable'], span[class*='input'], div[class*='input']";
const std::vector<std::string> TEXT_TAGS = {"h1", "h2", "h3", "h4", "h5", "h6", "p",  "span",
                                            "label", "li", "td", "th", "a", "button", "div"};
const std::string TEXT_SELECTOR = join(TEXT_TAGS);
const std::vector<std::string> TEXT_ATTRIBUTES = {"id", "class", "href", "aria-label"};
const std::string LABEL_CANDIDATE_SELECTOR = "h1, h2, h3, h4, h5, h6, label, div, span, p";

const std::string TAG_JS = "el => el.tagName.toLowerCase()";

const std::string DATA_ATTRS_JS =
    "el => Object.fromEntries(Array.from(el.attributes).filter(a => a.name.startsWith('data-'))"
    ".map(a => [a.name, a.value]))";

const std::string XPATH_JS = R"JS(el => {
  const parts = [];
  let node = el;
  while (node && node.nodeType === 1) {
    let idx = 1;
    for (let s = node.previousElementSibling; s; s = s.previousElementSibling) {
      if (s.tagName === node.tagName) idx++;
    }
    parts.unshift(node.tagName.toLowerCase() + '[' + idx + ']');
    node = node.parentElement;
  }
  return '/' + parts.join('/');
})JS";

const std::string DIRECT_TEXT_JS =
    "el => Array.from(el.childNodes).some(n => n.nodeType === 3 && n.textContent.trim().length > 0)";

const std::string SIBLING_LABEL_JS = R"JS(el => {
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
})JS";

const std::string PARENT_LABEL_JS = R"JS(el => {
  const parent = el.parentElement;
  if (!parent) return null;
  for (const child of parent.children) {
    if (child === el) break;
    const t = (child.textContent || '').trim();
    if (t && t.length < 50) return t;
  }
  return null;
})JS";

const std::string POINTER_SCAN_JS = R"JS(() => {
  const xpathOf = el => {
    const parts = [];
    let node = el;
    while (node && node.nodeType === 1) {
      let idx = 1;
      for (let s = node.previousElementSibling; s; s = s.previousElementSibling) {
        if (s.tagName === node.tagName) idx++;
      }
      parts.unshift(node.tagName.toLowerCase() + '[' + idx + ']');
      node = node.parentElement;
    }
    return '/' + parts.join('/');
  };
  const results = [];
  const seen = new Set();
  for (const el of document.querySelectorAll('div, span, li, td')) {
    if (getComputedStyle(el).cursor !== 'pointer') continue;
    const text = (el.innerText || '').trim();
    if (!text || text.length > 60) continue;
    if (el.querySelectorAll('*').length > 10) continue;
    const rect = el.getBoundingClientRect();
    if (rect.width <= 0 || rect.height <= 0) continue;
    const xpath = xpathOf(el);
    if (seen.has(xpath)) continue;
    seen.add(xpath);
    results.push({
      tag: el.tagName.toLowerCase(),
      text,
      xpath,
      x: Math.round(rect.x),
      y: Math.round(rect.y),
      w: Math.round(rect.width),
      h: Math.round(rect.height),
      cls: typeof el.className === 'string' ? el.className : '',
      aria: el.getAttribute('aria-label') || '',
    });
  }
  return results;
})JS";

}  // namespace vantle::browser
