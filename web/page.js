// glyphtint-serve's page: the strip of the typed text in the chosen options, its lengths,
// snippets to embed it, the palettes and the downloads. The text only ever reaches the
// page as a value or a query, never as markup: every node is built, none parsed (the
// page's policy makes an HTML string sink throw). Addresses the page fetches are
// relative, so that it works behind a proxy under a path of its own.
"use strict";

const box = document.getElementById("text");
const preview = document.getElementById("preview");
const strip = document.getElementById("strip");
const message = document.getElementById("message");
const lengths = document.getElementById("lengths");
const downloadStrip = document.getElementById("download-strip");
const downloadFramed = document.getElementById("download-framed");
const copyButton = document.getElementById("copy");
const copyStatus = document.getElementById("copy-status");

// A burst of keys makes one request rather than one a key.
const kTypingPause = 150;
let pending = 0;
// Answers that come back after a newer text was asked for are dropped.
let asked = 0;

const kDark = "#1e1e1e";
const kLight = "#ffffff";
const kMaxScale = 8;
// The ratio pictures made for someone else's page are legible at when none is chosen.
const kEmbedContrast = "4.5";
// A value the address may give for a colour: #RRGGBB, or the six digits alone.
const kColourValue = /^#?([0-9a-f]{6})$/i;

// The options of the picture, each a select of the form, in the address under its name
// when not at its first choice. A `colour` option ends in a choice of any colour; `shown`
// says when an option means something; `accepts` lets the address bring other values,
// shown as `caption` words them. The game's chooser goes in the "drawn" group.
const kOptions = [
  // Its choices are the service's games, filled in from /games.json before the form is built.
  {name: "game", group: "drawn", label: "Game", initial: "glyphtint", choices: [["glyphtint", "glyphtint"]]},
  {name: "scale", group: "look", label: "Size", initial: "1",
   choices: Array.from({length: kMaxScale}, (_, i) => [String(i + 1), (i + 1) + "\u00d7"])},
  {name: "background", group: "look", label: "Background", initial: "glyph", colour: true,
   choices: [["glyph", "The glyphs' own"], ["transparent", "Transparent"], [kDark, "Dark"], [kLight, "Light"]]},
  // Under a transparent strip: what it is checked on, and the page legible colours are for.
  {name: "page", group: "look", label: "Checked on", initial: "", colour: true,
   choices: [["", "Checkerboard"], [kDark, "Dark page"], [kLight, "Light page"]],
   shown: (chosen) => chosen.background === "transparent"},
  {name: "min-contrast", group: "look", label: "Legible colours", initial: "",
   choices: [["", "As designed"], ["3", "3:1"], ["4.5", "4.5:1"], ["7", "7:1"]],
   accepts: (value) => Number(value) >= 1 && Number(value) <= 21, caption: (value) => value + ":1"},
];

// The option's select, and its colour picker for options that have one.
const controls = new Map();

function colourOf(value) {
  const match = kColourValue.exec(value);
  return match ? "#" + match[1].toLowerCase() : null;
}

function buildOptions() {
  for (const option of kOptions) {
    const field = document.createElement("div");
    field.className = "option";
    const label = document.createElement("label");
    const select = document.createElement("select");
    select.id = "option-" + option.name;
    select.name = option.name;
    label.htmlFor = select.id;
    label.textContent = option.label;
    for (const [value, caption] of option.choices) {
      select.append(new Option(caption, value));
    }
    field.append(label, select);
    let picker = null;
    if (option.colour) {
      select.append(new Option("Colour\u2026", "colour"));
      picker = document.createElement("input");
      picker.type = "color";
      picker.value = kDark;
      picker.setAttribute("aria-label", option.label + " colour");
      picker.addEventListener("input", optionsChanged);
      field.append(picker);
    }
    select.addEventListener("change", optionsChanged);
    controls.set(option.name, {option, field, select, picker});
    document.getElementById("options-" + option.group).append(field);
  }
}

// The value an option stands at, as the service takes it.
function chosenValue({select, picker}) {
  return select.value === "colour" ? picker.value : select.value;
}

function choose(name, value) {
  const {option, select, picker} = controls.get(name);
  const colour = option.colour ? colourOf(value) : null;
  if (option.choices.some(([known]) => known === (colour ?? value))) {
    select.value = colour ?? value;
  } else if (colour) {
    select.value = "colour";
    picker.value = colour;
  } else if (option.accepts?.(value)) {
    select.append(new Option(option.caption ? option.caption(value) : value, value));
    select.value = value;
  } else {
    select.value = option.initial;
  }
}

function chosenOptions() {
  const chosen = {};
  for (const [name, control] of controls) {
    chosen[name] = chosenValue(control);
  }
  return chosen;
}

// Options that depend on others: shown only where they mean something, and colours made
// legible on a transparent strip are measured against a page, so no checkerboard then.
function settleOptions() {
  let chosen = chosenOptions();
  const checkerboard = controls.get("page").select.options[0];
  checkerboard.disabled = chosen["min-contrast"] !== "";
  if (checkerboard.disabled && chosen.page === "") {
    choose("page", kDark);
    chosen = chosenOptions();
  }
  for (const {option, field} of controls.values()) {
    field.hidden = option.shown ? !option.shown(chosen) : false;
  }
  return chosen;
}

function meaningful(chosen) {
  const kept = {};
  for (const option of kOptions) {
    if (chosen[option.name] !== option.initial && (!option.shown || option.shown(chosen))) {
      kept[option.name] = chosen[option.name];
    }
  }
  return kept;
}

// The text and options as a query; null when the text holds half a UTF-16 pair, which
// has no UTF-8 bytes. The page's address keeps every option; a picture's only what
// changes it (the page under a transparent strip matters only to legible colours).
function queryOf(text, options) {
  if (!text.isWellFormed()) {
    return null;
  }
  // In the options' order whatever order they were given in: one picture, one address.
  const query = new URLSearchParams({text});
  for (const {name} of kOptions) {
    if (name in options) {
      query.append(name, options[name]);
    }
  }
  return "?" + query.toString();
}

// What reads the text, for the requests that tell about it rather than style it.
function gameOf(chosen) {
  return chosen.game === "glyphtint" ? {} : {game: chosen.game};
}

function pictureOptions(chosen) {
  const options = meaningful(chosen);
  if (!("min-contrast" in options)) {
    delete options.page;
  }
  return options;
}

// The picture's file name as the service names it (the name without its codes, read by
// the game's rules, in Content-Disposition), without its extension.
function fileStemOf(answer) {
  const disposition = answer.headers.get("Content-Disposition") || "";
  const quoted = /filename="([^"]*)"/.exec(disposition);
  const name = quoted ? quoted[1] : "";
  return name.replace(/\.png$/, "") || "glyphtint";
}

// Relative luminance and contrast ratio as the web measures them.
function luminance(colour) {
  const value = parseInt(colour.slice(1), 16);
  const [r, g, b] = [value >> 16, (value >> 8) & 255, value & 255].map((c) => {
    const s = c / 255;
    return s <= 0.04045 ? s / 12.92 : ((s + 0.055) / 1.055) ** 2.4;
  });
  return 0.2126 * r + 0.7152 * g + 0.0722 * b;
}

function contrast(a, b) {
  const [x, y] = [luminance(a), luminance(b)].sort((p, q) => q - p);
  return (x + 0.05) / (y + 0.05);
}

function count(n, one, many) {
  return n + " " + (n === 1 ? one : many);
}

// The picture shown: its query, its bytes, its size and what it shows in words.
let shown = null;

function forgetPicture() {
  if (shown) {
    URL.revokeObjectURL(strip.src);
  }
  shown = null;
  strip.hidden = true;
  strip.removeAttribute("src");
  copyButton.disabled = true;
  for (const link of [downloadStrip, downloadFramed]) {
    link.removeAttribute("href");
  }
  showSnippets();
}

// A quiet hint (nothing to draw yet) or an error (something went wrong), in place of the picture.
function showMessage(text, quiet) {
  forgetPicture();
  message.textContent = text;
  message.classList.toggle("hint", quiet);
  message.hidden = false;
}

// The preview stands on the page the picture is for: its colour, or a checkerboard under
// a transparent strip that is checked on none.
function showPage(chosen) {
  const colour = chosen.background === "transparent" ? chosen.page : colourOf(chosen.background);
  preview.classList.toggle("checkerboard", chosen.background === "transparent" && chosen.page === "");
  preview.style.background = colour ?? "";
}

async function showPicture(mine, text, query, described) {
  // One request: the picture comes from its bytes, or the service's words from them.
  let blob = null;
  let failure = "";
  let stem = "glyphtint";
  try {
    const answer = await fetch("strip.png" + query);
    if (answer.ok) {
      stem = fileStemOf(answer);
      blob = await answer.blob();
    } else {
      failure = (await answer.text()).trim() || "The service answered " + answer.status;
    }
  } catch (error) {
    failure = "The service cannot be reached: " + error.message;
  }
  if (mine !== asked) {
    return;
  }
  if (!blob) {
    showMessage(failure, false);
    return;
  }
  // Decoded aside, so that the picture shown before stays until this one can take its place.
  const address = URL.createObjectURL(blob);
  const next = new Image();
  next.src = address;
  const decoded = await next.decode().then(() => true, () => false);
  if (mine !== asked || !decoded) {
    URL.revokeObjectURL(address);
    if (mine === asked) {
      showMessage("The service's picture cannot be shown (" + blob.type + ", " + blob.size + " bytes)", false);
    }
    return;
  }
  if (shown) {
    URL.revokeObjectURL(strip.src);
  }
  strip.alt = described;
  strip.src = address;
  shown = {query, blob, text, described, width: next.naturalWidth, height: next.naturalHeight};
  message.hidden = true;
  strip.hidden = false;
  copyButton.disabled = false;
  downloadStrip.href = "strip.png" + query;
  downloadStrip.download = stem + ".png";
  downloadFramed.href = "framed.jpg" + queryOf(text, gameOf(chosenOptions()));
  downloadFramed.download = stem + ".jpg";
  showSnippets();
}

async function refresh() {
  const text = box.value;
  const chosen = settleOptions();
  const address = queryOf(text, meaningful(chosen));
  const query = queryOf(text, pictureOptions(chosen));
  const mine = ++asked;
  copyStatus.textContent = "";
  showPage(chosen);
  if (address !== null) {
    const shownAddress = address + (compareBox.checked ? "&compare=1" : "");
    history.replaceState(null, "", location.pathname + (shownAddress === "?text=" ? "" : shownAddress));
  }
  if (chosen.game !== palettesGame) {
    showPalettes(chosen.game);
  }
  showComparison(mine, text);
  if (text === "") {
    lengths.textContent = "\u00a0";
    showMessage("Type a name above and it is drawn here.", true);
    return;
  }
  if (query === null) {
    lengths.textContent = "\u00a0";
    showMessage("The text holds a broken character (half a surrogate pair): remove it", false);
    return;
  }
  let info = null;
  let failure = "";
  try {
    const answer = await fetch("info.json" + queryOf(text, gameOf(chosen)));
    if (answer.ok) {
      info = await answer.json();
    } else {
      failure = (await answer.text()).trim();
    }
  } catch (error) {
    failure = "The service cannot be reached: " + error.message;
  }
  if (mine !== asked) {
    return;
  }
  if (info === null) {
    lengths.textContent = "\u00a0";
    showMessage(failure, false);
    return;
  }
  lengths.textContent = (info.length ?? count(info.bytes, "byte", "bytes") + " \u00b7 " + info.visible + " shown") +
      (info.over_limit ? " \u00b7 longer than the game keeps" : "") +
      (info.not_drawn_note ? " \u00b7 " + info.not_drawn_note : "");
  // Codes alone draw nothing yet: not a picture to keep, nor a fault.
  if (info.visible === 0) {
    showMessage("Nothing to draw yet: add characters after the colour codes.", true);
    return;
  }
  await showPicture(mine, text, query, info.described);
}

function refreshSoon() {
  clearTimeout(pending);
  pending = setTimeout(refresh, kTypingPause);
}

function optionsChanged() {
  clearTimeout(pending);
  refresh();
}

// Where snippets point: the service's public address when it names one, else the
// address the page was opened at.
function publicBase() {
  const named = document.querySelector('meta[name="glyphtint:public-url"]')?.content.trim() ?? "";
  document.getElementById("embed-note").hidden = named !== "";
  return new URL(named === "" ? "." : named.replace(/\/*$/, "/"), location.href).href;
}

function escapeHtml(text) {
  return text.replace(/&/g, "&amp;").replace(/</g, "&lt;").replace(/>/g, "&gt;").replace(/"/g, "&quot;");
}

// The snippets of the picture shown, each built from its absolute address(es).
const kSnippets = [
  {name: "address", label: "Address", make: ({address}) => address},
  {name: "html", label: "HTML", make: ({src, srcset, size, alt}) =>
    `<img src="${src}"${srcset} ${size} alt="${alt}">`},
  {name: "picture", label: "HTML for dark and light pages", make: ({dark, light, size, alt}) =>
    `<picture><source srcset="${dark}" media="(prefers-color-scheme: dark)">` +
    `<img src="${light}" ${size} alt="${alt}"></picture>`},
  {name: "bbcode", label: "BBCode", make: ({address}) => `[img]${address}[/img]`},
  {name: "markdown", label: "Markdown", make: ({address, text}) =>
    `![${text.replace(/[\\[\]]/g, "\\$&")}](${address})`},
];

function snippetParts() {
  const base = publicBase();
  const chosen = chosenOptions();
  const options = pictureOptions(chosen);
  const at = (changed) => base + "strip.png" + escapeHtml(queryOf(shown.text, {...options, ...changed}));
  const scale = Number(chosen.scale);
  const onPage = (page) => at({background: "transparent", page, "min-contrast": options["min-contrast"] ?? kEmbedContrast});
  return {
    address: base + "strip.png" + shown.query,
    src: at({}),
    srcset: 2 * scale <= kMaxScale ? ` srcset="${at({})} 1x, ${at({scale: String(2 * scale)})} 2x"` : "",
    size: `width="${shown.width}" height="${shown.height}"`,
    alt: escapeHtml(shown.described),
    text: shown.described,
    dark: onPage(kDark),
    light: onPage(kLight),
  };
}

function buildSnippets() {
  const holder = document.getElementById("snippets");
  for (const snippet of kSnippets) {
    const row = document.createElement("div");
    row.className = "snippet";
    const label = document.createElement("span");
    label.textContent = snippet.label;
    const code = document.createElement("code");
    code.id = "snippet-" + snippet.name;
    const copy = document.createElement("button");
    copy.type = "button";
    copy.textContent = "Copy";
    copy.setAttribute("aria-label", "Copy " + snippet.label);
    copy.addEventListener("click", () => copyText(code.textContent, snippet.label));
    row.append(label, code, copy);
    holder.append(row);
    snippet.code = code;
    snippet.copy = copy;
  }
}

function showSnippets() {
  publicBase();
  const parts = shown ? snippetParts() : null;
  for (const snippet of kSnippets) {
    snippet.code.textContent = parts ? snippet.make(parts) : "";
    snippet.copy.disabled = parts === null;
  }
}

async function copyText(text, what) {
  try {
    await navigator.clipboard.writeText(text);
    copyStatus.textContent = what + " copied";
  } catch (error) {
    copyStatus.textContent = what + " was not copied: " + error.message;
  }
}

// As the window does: the code goes before the selection, which stays in the text.
function insertCode(code) {
  const at = box.selectionStart ?? box.value.length;
  box.setRangeText("^" + code, at, at, "end");
  box.setSelectionRange(at + 2, at + 2);
  box.focus();
  refreshSoon();
}

// Left, Right, Home and End within a palette row, the sample reached taking the row's
// Tab stop.
function moveAlongPalette(event) {
  const samples = [...event.currentTarget.children];
  const at = samples.indexOf(document.activeElement);
  const to = {ArrowLeft: at - 1, ArrowRight: at + 1, Home: 0, End: samples.length - 1}[event.key];
  if (at < 0 || to === undefined || to < 0 || to >= samples.length) {
    return;
  }
  event.preventDefault();
  samples[at].tabIndex = -1;
  samples[to].tabIndex = 0;
  samples[to].focus();
}

// The panel's grey-green, or as little lighter or darker as it takes for a sample's
// colour to stand out from it at 3:1, as the window's palettes do.
const kPanel = "#767c70";
const kSampleContrast = 3;

function backdropOf(colour) {
  if (contrast(colour, kPanel) >= kSampleContrast) {
    return null;
  }
  const value = parseInt(kPanel.slice(1), 16);
  const channels = [value >> 16, (value >> 8) & 255, value & 255];
  // Away from the sample first: darker under a light one, lighter under a dark one. Every
  // colour has over 4.5:1 with black or with white, so one of the ways gets there.
  const away = luminance(colour) > luminance(kPanel) ? 0 : 255;
  for (const toward of [away, 255 - away]) {
    for (let step = 1; step <= 20; ++step) {
      const mixed = channels.map((c) => Math.round(c + (toward - c) * step / 20));
      const backdrop = "#" + mixed.map((c) => c.toString(16).padStart(2, "0")).join("");
      if (contrast(colour, backdrop) >= kSampleContrast) {
        return backdrop;
      }
    }
  }
  return null;
}

// The game the palettes show; they are built again when another is chosen.
let palettesGame = null;

async function showPalettes(game) {
  palettesGame = game;
  const holder = document.getElementById("palettes");
  const said = document.getElementById("colours-message");
  try {
    const answer = await fetch("colours.json" + (game === "glyphtint" ? "" : "?game=" + encodeURIComponent(game)));
    if (!answer.ok) {
      throw new Error((await answer.text()).trim());
    }
    const rows = [];
    const rowNames = ["Colours, first row", "Colours, second row"];
    for (const [index, samples] of (await answer.json()).palettes.entries()) {
      const row = document.createElement("div");
      row.className = "palette";
      // One Tab stop a row; the arrow keys move between its samples.
      row.setAttribute("role", "toolbar");
      row.setAttribute("aria-label", rowNames[index] ?? "Colours");
      row.addEventListener("keydown", moveAlongPalette);
      for (const sample of samples) {
        const button = document.createElement("button");
        button.type = "button";
        button.tabIndex = row.childElementCount === 0 ? 0 : -1;
        button.setAttribute("aria-label", "^" + sample.code + " " + sample.name);
        button.title = "^" + sample.code + " " + sample.name;
        const backdrop = backdropOf(sample.colour);
        if (backdrop) {
          button.style.backgroundColor = backdrop;
        }
        const picture = document.createElement("img");
        picture.alt = "";
        // Transparent, so that the button's backdrop is what the sample is seen on.
        picture.src = "strip.png" + queryOf("^" + sample.code + sample.sample, {...gameOf({game}), background: "transparent"});
        button.append(picture);
        // A click leaves the focus and the selection in the text box.
        button.addEventListener("mousedown", (event) => event.preventDefault());
        button.addEventListener("click", () => insertCode(sample.code));
        row.append(button);
      }
      rows.push(row);
    }
    if (game === palettesGame) {
      holder.replaceChildren(...rows);
      said.hidden = true;
    }
  } catch (error) {
    said.textContent = "The colours cannot be shown: " + error.message;
    said.hidden = false;
  }
}

// The games of the service (id, title, byte limit or null), glyphtint's own first.
let games = [{id: "glyphtint", title: "glyphtint", limit: null}];

// "How each game shows it": the text drawn under every game, a row each, built when the
// toggle is on. Its nodes are made here so that the page's markup needs no part of it.
const compareBox = document.createElement("input");
const compareRows = document.createElement("div");

function buildComparison() {
  const section = document.createElement("section");
  section.id = "compare";
  const label = document.createElement("label");
  compareBox.type = "checkbox";
  compareBox.id = "compare-toggle";
  compareBox.addEventListener("change", optionsChanged);
  label.append(compareBox, " How each game shows it");
  compareRows.id = "compare-rows";
  compareRows.setAttribute("aria-live", "polite");
  section.append(label, compareRows);
  document.getElementById("actions").after(section);
}

async function showComparison(mine, text) {
  if (!compareBox.checked || text === "" || !text.isWellFormed()) {
    compareRows.replaceChildren();
    return;
  }
  const look = pictureOptions(chosenOptions());
  const rows = await Promise.all(games.map(async (game) => {
    const row = document.createElement("div");
    row.className = "compare-row";
    row.dataset.game = game.id;
    const title = document.createElement("span");
    title.className = "compare-title";
    title.textContent = game.title;
    const picture = document.createElement("span");
    picture.className = "compare-picture glyphs";
    const length = document.createElement("span");
    length.className = "compare-length";
    row.append(title, picture, length);
    const byGame = gameOf({game: game.id});
    try {
      const answer = await fetch("info.json" + queryOf(text, byGame));
      if (!answer.ok) {
        throw new Error((await answer.text()).trim());
      }
      const info = await answer.json();
      // The game's own readout ("38 bytes of 36 \u00b7 12 shown"); glyphtint's sets no limit.
      length.textContent = (info.length ?? count(info.bytes, "byte", "bytes") + ", no limit") +
          (info.over_limit ? ": over the limit" : "");
      row.classList.toggle("over-limit", info.over_limit === true);
      if (info.visible === 0) {
        picture.textContent = "Draws nothing";
      } else {
        const strip = document.createElement("img");
        strip.alt = info.described;
        const options = {...look, ...byGame};
        if (!byGame.game) {
          delete options.game;
        }
        strip.src = "strip.png" + queryOf(text, options);
        picture.append(strip);
      }
    } catch (error) {
      length.textContent = "Cannot be told: " + error.message;
    }
    return row;
  }));
  if (mine === asked) {
    compareRows.replaceChildren(...rows);
  }
}

// The picture shown is copied as it is: no second request, and nothing when there is none.
async function copyStrip() {
  if (!shown) {
    return;
  }
  if (!navigator.clipboard || !navigator.clipboard.write || typeof ClipboardItem === "undefined") {
    copyStatus.textContent = "This browser cannot copy pictures here (it allows it on https:// or localhost only)";
    return;
  }
  copyStatus.textContent = "";
  try {
    await navigator.clipboard.write([new ClipboardItem({"image/png": shown.blob})]);
    copyStatus.textContent = "The strip is copied";
  } catch (error) {
    copyStatus.textContent = "The strip was not copied: " + error.message;
  }
}

async function loadGames() {
  try {
    const answer = await fetch("games.json");
    if (answer.ok) {
      games = await answer.json();
    }
  } catch {
    // Without the list the page still draws in glyphtint's own table.
  }
  kOptions.find(({name}) => name === "game").choices = games.map(({id, title}) => [id, title]);
}

async function start() {
  await loadGames();
  buildOptions();
  buildSnippets();
  buildComparison();
  const given = new URLSearchParams(location.search);
  box.value = given.get("text") ?? "";
  for (const option of kOptions) {
    choose(option.name, given.get(option.name) ?? option.initial);
  }
  compareBox.checked = given.get("compare") === "1";
  box.addEventListener("input", refreshSoon);
  copyButton.addEventListener("click", copyStrip);
  refresh();
  box.focus();
}

start();
