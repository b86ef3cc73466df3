"use strict";
// The remote view's page: the tiles of Tessaro's managed channels, kept live over one WebSocket.
// It only shows; it never sends anything that changes a receiver.
(function () {
  const TEXTS = {
    zh: { filter: "按名称或分组筛选", all: "全部", rx: "接收机 ", band: "频段 ", wall: "大字", normal: "标准",
          up: "已连接", down: "与 Tessaro 的连接已断开，正在重连…", since: "自 ", lost: "连接丢失",
          lowBattery: "电池电量低", rfLoss: "射频信号丢失", ch: "通道 ", none: "没有通道", wrongCode: "访问码错误" },
    en: { filter: "Filter by name or group", all: "All", rx: "Receiver ", band: "Band ", wall: "Large", normal: "Normal",
          up: "Connected", down: "Lost Tessaro, reconnecting…", since: "since ", lost: "Lost",
          lowBattery: "Low battery", rfLoss: "RF loss", ch: "CH ", none: "No channels", wrongCode: "Wrong access code" },
  };
  const params = new URLSearchParams(location.search);
  const code = params.get("code") || "";
  const channels = new Map();
  const tiles = new Map();
  let language = "zh";
  let retryMs = 500;
  let lostAt = null;

  const $ = (id) => document.getElementById(id);
  const t = (key) => TEXTS[language][key];
  if (params.get("layout") === "wall") document.body.classList.add("wall");

  function applyTexts() {
    document.documentElement.lang = language === "zh" ? "zh-CN" : "en";
    $("filter").placeholder = t("filter");
    $("wall").textContent = document.body.classList.contains("wall") ? t("normal") : t("wall");
    $("empty").textContent = t("none");
    showLink(lostAt === null);
    fillGroups();
    for (const ch of channels.values()) render(ch);
  }

  function showLink(up) {
    const link = $("link");
    link.className = "link " + (up ? "up" : "down");
    link.textContent = up ? t("up") : t("down") + " (" + t("since") + lostAt.toLocaleTimeString() + ")";
  }

  function fillGroups() {
    const select = $("group");
    const chosen = select.value;
    const groups = new Set();
    for (const ch of channels.values()) { groups.add("rx:" + ch.rxid); if (ch.band) groups.add("band:" + ch.band); }
    select.replaceChildren(new Option(t("all"), ""));
    for (const g of [...groups].sort()) {
      const [kind, value] = g.split(":");
      select.add(new Option((kind === "rx" ? t("rx") : t("band")) + value, g));
    }
    select.value = [...select.options].some((o) => o.value === chosen) ? chosen : "";
  }

  function el(tag, cls, parent) {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (parent) parent.appendChild(e);
    return e;
  }

  function meter(parent, cls, label) {
    const m = el("div", "meter " + cls, parent);
    el("span", "label", m).textContent = label;
    const bar = el("div", "bar", m);
    el("span", "", bar);
    el("span", "value", m);
    return m;
  }

  function makeTile(id) {
    const tile = el("div", "tile");
    tile.dataset.id = id;
    const title = el("div", "title", tile);
    el("span", "id", title);
    el("span", "name", title);
    const row1 = el("div", "row", tile);
    el("span", "band", row1);
    el("span", "channel", row1);
    el("div", "freq", tile);
    const rf = el("div", "rfmeters", tile);
    meter(rf, "rfA", "RF A");
    meter(rf, "rfB", "RF B");
    meter(tile, "audio", "AF");
    const row2 = el("div", "row", tile);
    const ant = el("span", "antenna", row2);
    el("span", "ant a", ant).textContent = "A";
    el("span", "ant b", ant).textContent = "B";
    el("span", "battery", row2);
    el("div", "marks", tile);
    return tile;
  }

  function setMeter(tile, cls, value) {
    const m = tile.querySelector(".meter." + cls);
    const v = value === null || value === undefined ? null : Math.max(0, Math.min(100, value));
    m.querySelector(".bar span").style.width = (v === null ? 0 : v) + "%";
    m.querySelector(".value").textContent = v === null ? "–" : String(v);
    m.dataset.value = v === null ? "" : String(v);
  }

  function render(ch) {
    let tile = tiles.get(ch.id);
    if (!tile) { tile = makeTile(ch.id); tiles.set(ch.id, tile); $("tiles").appendChild(tile); }
    tile.querySelector(".id").textContent = ch.id;
    tile.querySelector(".name").textContent = ch.name;
    tile.querySelector(".band").textContent = t("band") + (ch.band || "–");
    tile.querySelector(".channel").textContent = t("ch") + (ch.channel === null ? "–" : ch.channel);
    tile.querySelector(".freq").textContent = ch.frequency === null ? "–" : ch.frequency.toFixed(3) + " MHz";
    setMeter(tile, "rfA", ch.rfA);
    setMeter(tile, "rfB", ch.rfB);
    setMeter(tile, "audio", ch.audio);
    tile.querySelector(".ant.a").classList.toggle("on", ch.antenna === "A");
    tile.querySelector(".ant.b").classList.toggle("on", ch.antenna === "B");
    const battery = tile.querySelector(".battery");
    battery.textContent = ch.battery === null ? "▯▯▯" : "▮".repeat(ch.battery) + "▯".repeat(Math.max(0, 3 - ch.battery));
    battery.dataset.value = ch.battery === null ? "" : String(ch.battery);
    tile.classList.toggle("lost", ch.lost);
    tile.classList.toggle("lowbattery", ch.lowBattery && !ch.lost);
    tile.classList.toggle("rfloss", ch.rfLoss && !ch.lost);
    const marks = [];
    if (ch.lost) marks.push(t("lost"));
    if (ch.lowBattery) marks.push(t("lowBattery"));
    if (ch.rfLoss) marks.push(t("rfLoss"));
    tile.querySelector(".marks").textContent = marks.join(" · ");
    applyFilter(tile, ch);
  }

  function applyFilter(tile, ch) {
    const text = $("filter").value.trim().toLowerCase();
    const group = $("group").value;
    const inGroup = !group || group === "rx:" + ch.rxid || group === "band:" + ch.band;
    const matches = !text || ch.name.toLowerCase().includes(text) || ch.id.includes(text) || (ch.band || "").toLowerCase() === text;
    tile.hidden = !(inGroup && matches);
  }

  function filterAll() {
    for (const ch of channels.values()) applyFilter(tiles.get(ch.id), ch);
  }

  function showEmpty() { $("empty").hidden = channels.size !== 0; }

  function onMessage(data) {
    const m = JSON.parse(data);
    if (m.type === "hello") {
      language = TEXTS[m.language] ? m.language : "en";
      $("station").textContent = m.station ? "Tessaro · " + m.station : "Tessaro";
      for (const tile of tiles.values()) tile.remove();
      tiles.clear();
      channels.clear();
      for (const ch of m.channels) channels.set(ch.id, ch);
      applyTexts();
      showEmpty();
    } else if (m.type === "channel") {
      const known = channels.has(m.channel.id);
      channels.set(m.channel.id, m.channel);
      render(m.channel);
      if (!known) { fillGroups(); showEmpty(); }
    } else if (m.type === "removed") {
      channels.delete(m.id);
      const tile = tiles.get(m.id);
      if (tile) tile.remove();
      tiles.delete(m.id);
      fillGroups();
      showEmpty();
    } else if (m.type === "language") {
      language = TEXTS[m.language] ? m.language : "en";
      applyTexts();
    }
  }

  function connect() {
    const scheme = location.protocol === "https:" ? "wss://" : "ws://";
    const socket = new WebSocket(scheme + location.host + "/api/v1/live?code=" + encodeURIComponent(code));
    socket.onopen = () => { retryMs = 500; lostAt = null; showLink(true); };
    socket.onmessage = (e) => onMessage(e.data);
    socket.onclose = (e) => {
      if (lostAt === null) lostAt = new Date();
      showLink(false);
      if (e.reason === "401") $("link").textContent = t("wrongCode");
      setTimeout(connect, retryMs);
      retryMs = Math.min(retryMs * 2, 5000);
    };
  }

  $("filter").addEventListener("input", filterAll);
  $("group").addEventListener("change", filterAll);
  $("wall").addEventListener("click", () => { document.body.classList.toggle("wall"); applyTexts(); });
  lostAt = new Date();
  applyTexts();
  connect();
})();
