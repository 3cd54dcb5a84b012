// The operator page: reads the service's routes with the session cookie, listens to its event stream,
// and halts or resumes with the operator's confirmation. Every text from the service is shown with
// textContent, never parsed as HTML. Times are shown in this computer's local time.
"use strict";

const PAGE_HEADER = { "X-Zelvo-Page": "1" };
const MAX_EVENTS = 200;

function $(id) {
  return document.getElementById(id);
}

// --- talking to the service ---------------------------------------------------------------

class SignedOut extends Error {}

async function call(method, path, body) {
  const options = { method, credentials: "same-origin", headers: { ...PAGE_HEADER } };
  if (body !== undefined) {
    options.headers["Content-Type"] = "application/json";
    options.body = JSON.stringify(body);
  }
  const response = await fetch(path, options);
  if (response.status === 401) {
    throw new SignedOut();
  }
  const answer = await response.json();
  answer.httpStatus = response.status;
  return answer;
}

function showSignedOut() {
  $("signed-out").hidden = false;
  $("main").hidden = true;
  setPill($("live"), "not signed in", "bad");
}

// Runs `work`; a signed-out answer shows how to sign in, any other failure is shown in `where`.
async function guarded(work, where) {
  try {
    await work();
  } catch (error) {
    if (error instanceof SignedOut) {
      showSignedOut();
    } else if (where) {
      where.textContent = "The service did not answer: " + error.message;
      where.className = "result bad";
    }
  }
}

// --- shaping texts --------------------------------------------------------------------------

function localTime(epochMs) {
  return new Date(epochMs).toLocaleTimeString([], { hour12: false });
}

// The journal's local time "2025-06-30T09:31:05.120" as "09:31:05".
function clockOf(text) {
  return text ? text.slice(11, 19) : "";
}

function setPill(element, text, tone) {
  element.textContent = text;
  element.className = "pill" + (tone ? " " + tone : "");
}

function cell(row, text, className) {
  const td = document.createElement("td");
  td.textContent = text === undefined || text === null ? "" : String(text);
  if (className) {
    td.className = className;
  }
  row.appendChild(td);
}

function fillTable(table, rows) {
  const body = table.tBodies[0];
  body.replaceChildren();
  for (const cells of rows) {
    const row = document.createElement("tr");
    for (const [text, className] of cells) {
      cell(row, text, className);
    }
    body.appendChild(row);
  }
}

// --- what the page shows --------------------------------------------------------------------

function showStatus(status) {
  const client = $("client-state");
  if (status.attached) {
    setPill(client, "attached", "good");
    $("client-title").textContent = [status.title, status.broker, status.account].filter(Boolean).join(" · ");
  } else {
    setPill(client, "not attached", "bad");
    $("client-title").textContent = "";
  }
  showHalt(status.halt);
  showSwitch(status.switch);
  showJournal(status.journal);
  $("footer").textContent = "Zelvo service " + status.service.version + " on port " + status.service.port +
    " · client process " + status.service.pid;
}

function showHalt(halt) {
  const banner = $("halt-banner");
  banner.className = "banner " + (halt.halted ? "halted" : "running");
  $("halt-state").textContent = halt.halted ? "HALTED: new orders are refused" : "Taking new orders";
  $("halt-detail").textContent = halt.halted ? halt.reason + " (since " + clockOf(halt.since) + ", by " + halt.by + ")" : "";
  $("resume").disabled = !halt.halted;
  $("halt").disabled = halt.halted;
  $("resume-reason").textContent = halt.halted ? "Halted: " + halt.reason : "";
}

function showSwitch(state) {
  let text = state.armed
    ? "armed: fires at " + clockOf(state.deadline) + " unless armed again (every " + state.seconds + " s)"
    : "disarmed";
  const outstanding = state.cancels_outstanding;
  if (outstanding) {
    text += "; fired at " + clockOf(outstanding.fired) + ", its cancels are not all done after " +
      outstanding.attempts + " tries (" + outstanding.message + "): it tries again until the halt is lifted";
  }
  $("switch-state").textContent = text;
}

// Damaged lines the journal held at this start: one in the middle halts new orders (the halt says which).
function showJournal(journal) {
  const note = $("journal-state");
  note.hidden = journal.damaged_lines === 0;
  note.textContent = journal.damaged_lines === 0 ? "" : "The journal held " + journal.damaged_lines +
    " damaged lines at this start (line " + journal.damaged_at.join(", ") + "): look at them before you resume.";
}

function showRecords(answer) {
  fillTable($("records"), answer.orders.slice().reverse().map((record) => [
    [clockOf(record.time)], [record.order_id], [record.kind], [record.code], [record.price], [record.quantity],
    [record.outcome, record.outcome], [record.contract >= 0 ? record.contract : ""], [record.message, "message"],
  ]));
  $("records-empty").hidden = answer.orders.length > 0;
}

function showLimits(answer) {
  fillTable($("limits"), Object.entries(answer.limits).map(([name, value]) => [
    [name.replaceAll("_", " ")], [value === null ? "any" : Array.isArray(value) ? value.join(", ") : value],
  ]));
  const counts = answer.counts;
  const rows = [["orders today", counts.orders_today], ["orders in the window", counts.orders_in_window]];
  for (const [code, count] of Object.entries(counts.cancels_today)) {
    rows.push(["cancels of " + code, count]);
  }
  fillTable($("counts"), rows.map(([name, count]) => [[name], [count]]));
}

function showClientList(caption, answer) {
  $("list-caption").textContent = caption + ": " + answer.message;
  const head = $("client-list").tHead.rows[0];
  head.replaceChildren();
  for (const column of answer.columns) {
    const th = document.createElement("th");
    th.textContent = column;
    head.appendChild(th);
  }
  fillTable($("client-list"), answer.rows.map((row) => row.map((text) => [text])));
}

// --- refreshing -----------------------------------------------------------------------------

async function refreshStatus() {
  showStatus(await call("GET", "/v1/status"));
}

async function refreshRecords() {
  showRecords(await call("GET", "/v1/orders"));
}

async function refreshLimits() {
  showLimits(await call("GET", "/v1/limits"));
}

async function refreshAll() {
  await refreshStatus();
  $("signed-out").hidden = true;
  $("main").hidden = false;
  await Promise.all([refreshRecords(), refreshLimits()]);
}

function showList(name, caption, button) {
  return guarded(async () => {
    button.disabled = true;
    $("list-caption").textContent = "Reading " + caption.toLowerCase() + " from the client…";
    try {
      showClientList(caption, await call("GET", "/v1/query/" + name));
    } finally {
      button.disabled = false;
    }
  }, $("list-caption"));
}

// --- the live events ------------------------------------------------------------------------

function summaryOf(kind, data) {
  switch (kind) {
    case "trade":
      return Object.entries(data.row).map(([column, text]) => column + " " + text).join("  ");
    case "order":
      if (data.source === "client") {
        return "order " + data.number + " " + data.code + ": " + (data.previous_status === null ? "" : data.previous_status + " → ") + data.status;
      }
      return (data.source === "reconciled" ? "reconciled " : "") + data.order_id + " " + (data.code || "") + ": " +
        data.outcome + (data.contract >= 0 ? " (contract " + data.contract + ")" : "") + (data.message ? " · " + data.message : "");
    case "halt":
      return "new orders halted: " + data.reason + " (by " + data.by + ")";
    case "resume":
      return "new orders taken again";
    case "limit":
      return data.message;
    case "switch":
      if (data.action === "cancels") {
        return "cancels after firing, try " + data.attempt + (data.done ? " (done)" : " (to be tried again)") + ": " + data.message;
      }
      return data.action === "armed" ? "armed for " + data.seconds + " s" : data.action;
    case "client":
      return data.state.replaceAll("_", " ") + (data.message ? ": " + data.message : "");
    default:
      return data.message || "";
  }
}

function addEvent(kind, data) {
  const item = document.createElement("li");
  item.className = kind;
  for (const [text, className] of [[localTime(data.epoch_ms || Date.now()), "time"], [kind, "kind"], [summaryOf(kind, data), "text"]]) {
    const span = document.createElement("span");
    span.className = className;
    span.textContent = text;
    item.appendChild(span);
  }
  const list = $("events");
  list.prepend(item);
  while (list.children.length > MAX_EVENTS) {
    list.lastChild.remove();
  }
  $("events-empty").hidden = true;
}

// What each kind changes on the page besides the list of events.
const REFRESH_ON = {
  order: () => Promise.all([refreshRecords(), refreshLimits()]),
  halt: refreshStatus,
  resume: refreshStatus,
  switch: refreshStatus,
  client: refreshStatus,
  limit: refreshLimits,
  missed: refreshAll,
};

function listen() {
  const stream = new EventSource("/v1/events");
  stream.onopen = () => setPill($("live"), "live", "good");
  stream.onerror = () => {
    setPill($("live"), "reconnecting…", "warn");
    guarded(refreshStatus);  // shows how to sign in when the session is gone
  };
  for (const kind of ["trade", "order", "halt", "resume", "limit", "switch", "client", "missed", "dropped"]) {
    stream.addEventListener(kind, (event) => {
      addEvent(kind, JSON.parse(event.data));
      if (REFRESH_ON[kind]) {
        guarded(REFRESH_ON[kind]);
      }
    });
  }
}

// --- halt and resume ------------------------------------------------------------------------

function report(text, bad) {
  const where = $("action-result");
  where.textContent = text;
  where.className = "result" + (bad ? " bad" : "");
}

async function halt(cancelAll) {
  report(cancelAll ? "Halting and cancelling every order…" : "Halting…");
  const answer = await call("POST", "/v1/halt", cancelAll ? { cancel_all: true, reason: "halted from the operator page" }
                                                         : { reason: "halted from the operator page" });
  showHalt(answer.halt);
  const cancelled = answer.cancel_all ? " " + answer.cancel_all.message + "." : "";
  report(answer.ok ? "Halted." + cancelled : "Halted, but: " + answer.message, !answer.ok);
}

async function resume() {
  const answer = await call("POST", "/v1/resume", {});
  showHalt(answer.halt);
  report(answer.ok ? "Resumed: new orders are taken again." : answer.message, !answer.ok);
}

// A dialog closed with Esc keeps the value it was last closed with: it is cleared before each opening,
// so that only the confirming button acts.
function openDialog(dialog) {
  dialog.returnValue = "";
  dialog.showModal();
}

function confirmWith(dialog, confirmValue, action) {
  dialog.addEventListener("close", () => {
    if (dialog.returnValue === confirmValue) {
      guarded(action, $("action-result"));
    }
  });
}

function start() {
  // The sign-in address is gone after its redirect; should any query remain, it leaves the address bar too.
  if (location.search) {
    history.replaceState(null, "", location.pathname);
  }
  $("halt").addEventListener("click", () => {
    $("halt-cancel-all").checked = false;
    openDialog($("halt-dialog"));
  });
  $("resume").addEventListener("click", () => openDialog($("resume-dialog")));
  confirmWith($("halt-dialog"), "halt", () => halt($("halt-cancel-all").checked));
  confirmWith($("resume-dialog"), "resume", resume);
  $("refresh-records").addEventListener("click", () => guarded(refreshRecords));
  $("refresh-limits").addEventListener("click", () => guarded(refreshLimits));
  $("show-positions").addEventListener("click", (event) => showList("positions", "Positions", event.target));
  $("show-orders").addEventListener("click", (event) => showList("orders", "Today's orders", event.target));
  guarded(async () => {
    await refreshAll();
    listen();
  });
}

document.addEventListener("DOMContentLoaded", start);
