// glyphtint-serve's page: the strip of the typed text, its lengths, the palettes and the
// downloads. The text only ever reaches the page as a value or a query, never as markup.
// Addresses are relative, so that the page works behind a proxy under a path of its own.
"use strict";

const box = document.getElementById("text");
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

// The text as a query; null when it holds half a UTF-16 pair, which has no UTF-8 bytes.
function queryOf(text) {
  try {
    return "?text=" + encodeURIComponent(text);
  } catch (error) {
    return null;
  }
}

function count(n, one, many) {
  return n + " " + (n === 1 ? one : many);
}

function showMessage(text) {
  strip.hidden = true;
  strip.removeAttribute("src");
  message.textContent = text;
  message.hidden = false;
}

// The service says in words why there is no picture.
async function answerText(url) {
  try {
    const answer = await fetch(url);
    return (await answer.text()).trim() || "The service answered " + answer.status;
  } catch (error) {
    return "The service cannot be reached: " + error.message;
  }
}

function setLinks(query) {
  for (const [link, path] of [[downloadStrip, "strip.png"], [downloadFramed, "framed.jpg"]]) {
    if (query === null) {
      link.removeAttribute("href");
    } else {
      link.href = path + query;
    }
  }
  copyButton.disabled = query === null;
}

async function refresh() {
  const text = box.value;
  const query = queryOf(text);
  const mine = ++asked;
  copyStatus.textContent = "";
  history.replaceState(null, "", text === "" || query === null ? location.pathname : location.pathname + query);
  setLinks(text === "" ? null : query);
  if (query === null) {
    lengths.textContent = "\u00a0";
    showMessage("The text holds a broken character (half a surrogate pair): remove it");
    return;
  }
  let info = null;
  let failure = "";
  try {
    const answer = await fetch("info.json" + query);
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
    setLinks(null);
    showMessage(failure);
    return;
  }
  lengths.textContent = count(info.bytes, "byte", "bytes") + " \u00b7 " + info.visible + " shown" +
      (info.not_drawn_note ? " \u00b7 " + info.not_drawn_note : "");
  // A strip of nothing is an error message, not a picture to keep.
  if (info.visible === 0) {
    downloadStrip.removeAttribute("href");
    copyButton.disabled = true;
  }
  // Read out by screen readers: the text drawn and its colours.
  strip.alt = info.described;
  strip.onload = () => {
    if (mine === asked) {
      message.hidden = true;
      strip.hidden = false;
    }
  };
  strip.onerror = async () => {
    const said = await answerText("strip.png" + query);
    if (mine === asked) {
      showMessage(said);
    }
  };
  strip.src = "strip.png" + query;
}

function refreshSoon() {
  clearTimeout(pending);
  pending = setTimeout(refresh, kTypingPause);
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

async function showPalettes() {
  const holder = document.getElementById("palettes");
  try {
    const answer = await fetch("colours.json");
    if (!answer.ok) {
      throw new Error((await answer.text()).trim());
    }
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
        const picture = document.createElement("img");
        picture.alt = "";
        picture.src = "strip.png?text=" + encodeURIComponent("^" + sample.code + sample.sample);
        button.append(picture);
        // A click leaves the focus and the selection in the text box.
        button.addEventListener("mousedown", (event) => event.preventDefault());
        button.addEventListener("click", () => insertCode(sample.code));
        row.append(button);
      }
      holder.append(row);
    }
  } catch (error) {
    const said = document.getElementById("colours-message");
    said.textContent = "The colours cannot be shown: " + error.message;
    said.hidden = false;
  }
}

async function copyStrip() {
  const query = queryOf(box.value);
  if (!navigator.clipboard || !navigator.clipboard.write || typeof ClipboardItem === "undefined") {
    copyStatus.textContent = "This browser cannot copy pictures here (it allows it on https:// or localhost only)";
    return;
  }
  copyStatus.textContent = "";
  try {
    // The picture is handed over as a promise so that the click still counts when it comes.
    const png = fetch("strip.png" + query).then(async (answer) => {
      if (!answer.ok) {
        throw new Error((await answer.text()).trim());
      }
      return answer.blob();
    });
    await navigator.clipboard.write([new ClipboardItem({"image/png": png})]);
    copyStatus.textContent = "The strip is copied";
  } catch (error) {
    copyStatus.textContent = "The strip was not copied: " + error.message;
  }
}

box.value = new URLSearchParams(location.search).get("text") ?? "";
box.addEventListener("input", refreshSoon);
copyButton.addEventListener("click", copyStrip);
showPalettes();
refresh();
box.focus();
