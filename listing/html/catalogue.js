(function () {
  'use strict';
  var cfg = JSON.parse(document.getElementById('zcfg').textContent);
  var cols = cfg.cols;
  var tree = document.getElementById('tree');
  var bar = document.getElementById('bar');
  var q = document.getElementById('q');
  var found = document.getElementById('found');
  bar.hidden = false;

  function isKids(x) { return Array.isArray(x) && (x.length === 0 || Array.isArray(x[0])); }
  function cell(row, cls, text) {
    var s = document.createElement('span');
    s.className = cls;
    s.textContent = text;
    row.appendChild(s);
  }
  function fillRow(row, rec, base, level) {
    var i = 2;
    cell(row, 'n', rec[1]);
    row.title = base + rec[1];
    if (rec[0] === 2) return;
    for (var c = 0; c < cols.length; ++c) {
      var col = cols[c];
      if (col === 'size') cell(row, 'c s', rec[i++] + ' Kb');
      else if (col === 'attr') cell(row, 'c a', rec[i++]);
      else if (col === 'date') cell(row, 'c t', rec[i++]);
      else if (col === 'path') cell(row, 'c p', base + rec[1]);
      else if (col === 'level') cell(row, 'c l', String(level));
    }
  }
  function makeItem(rec, kids, base, level) {
    var li = document.createElement('li');
    if (rec[0] === 0) {
      li.className = 'fi';
      var r = document.createElement('div');
      r.className = 'r';
      r.tabIndex = -1;
      fillRow(r, rec, base, level);
      li.appendChild(r);
    } else {
      li.className = rec[0] === 2 ? 'fo u' : 'fo';
      var d = document.createElement('details');
      var s = document.createElement('summary');
      s.className = 'r';
      fillRow(s, rec, base, level);
      d.appendChild(s);
      if (kids) {
        d._kids = kids;
        d._base = base + rec[1] + '/';
        d._level = level + 1;
      }
      li.appendChild(d);
    }
    rec._li = li;
    return li;
  }
  var kBatch = 500;
  // Draws the entries of a folder up to index upto at least, a batch at a time.
  function renderMore(d, upto) {
    var arr = d._kids, ul = d._ul, i = ul._i, n = 0;
    if (ul._more) { ul._more.remove(); ul._more = null; }
    var frag = document.createDocumentFragment();
    while (i < arr.length && (n < kBatch || i <= upto)) {
      var kids = i + 1 < arr.length && isKids(arr[i + 1]) ? arr[i + 1] : null;
      frag.appendChild(makeItem(arr[i], kids, d._base, d._level));
      i += kids ? 2 : 1;
      ++n;
    }
    ul.appendChild(frag);
    ul._i = i;
    if (i < arr.length) {
      var li = document.createElement('li');
      var b = document.createElement('button');
      b.type = 'button';
      b.className = 'more';
      b.textContent = 'Show more';
      b.addEventListener('click', function () { renderMore(d, -1); });
      li.appendChild(b);
      ul.appendChild(li);
      ul._more = li;
    }
  }
  function ensureKids(d) {
    if (!d._kids && d._script) {
      d._kids = JSON.parse(d._script.textContent);
      d._base = d._script.getAttribute('data-path');
      d._level = 3;
    }
    return d._kids;
  }
  function ensureDrawn(d) {
    if (d._ul || !ensureKids(d)) return;
    var ul = document.createElement('ul');
    ul._i = 0;
    d._ul = ul;
    d.appendChild(ul);
    if (d._kids.length === 0) {
      var li = document.createElement('li');
      li.className = 'none';
      li.textContent = '(empty)';
      ul.appendChild(li);
    } else {
      renderMore(d, -1);
    }
  }
  var subs = tree.querySelectorAll('script.sub');
  for (var k = 0; k < subs.length; ++k) subs[k].parentNode._script = subs[k];
  var staticRows = Array.prototype.slice.call(tree.querySelectorAll('.r'));
  tree.addEventListener('toggle', function (e) {
    if (e.target.open) ensureDrawn(e.target);
  }, true);

  function openTo(el) {
    for (var d = el.parentElement ? el.parentElement.closest('details') : null; d; d = d.parentElement.closest('details')) {
      if (!d.open) d.open = true;
    }
  }
  // Opens the folders down to the entry at the index path in d's data, and gives its row.
  function reveal(d, path) {
    var row = null;
    openTo(d);
    for (var j = 0; j < path.length; ++j) {
      d.open = true;
      ensureDrawn(d);
      if (d._ul._i <= path[j]) renderMore(d, path[j]);
      var li = d._kids[path[j]]._li;
      row = li.firstElementChild.tagName === 'DETAILS' ? li.firstElementChild.firstElementChild : li.firstElementChild;
      d = li.firstElementChild;
    }
    return row;
  }
  function scan(arr, needle, prefix, out) {
    for (var i = 0; i < arr.length; ++i) {
      var x = arr[i];
      if (isKids(x)) {
        scan(x, needle, prefix.concat([i - 1]), out);
      } else if (x[1].toLowerCase().indexOf(needle) >= 0) {
        out.push(prefix.concat([i]));
      }
    }
  }
  var hits = [], current = -1, searched = '', kOpenAtMost = 200;
  function clearHits() {
    var old = tree.querySelectorAll('.hit');
    for (var i = 0; i < old.length; ++i) old[i].classList.remove('hit');
  }
  function search() {
    searched = q.value;
    var needle = searched.trim().toLowerCase();
    clearHits();
    hits = [];
    current = -1;
    if (!needle) { found.textContent = ''; return; }
    var matches = [];
    staticRows.forEach(function (r) {
      var n = r.querySelector('.n');
      if (n && n.textContent.toLowerCase().indexOf(needle) >= 0) matches.push({row: r});
    });
    Array.prototype.forEach.call(subs, function (s) {
      var d = s.parentNode, paths = [];
      scan(ensureKids(d), needle, [], paths);
      paths.forEach(function (p) { matches.push({d: d, path: p}); });
    });
    matches.forEach(function (m, i) {
      if (i >= kOpenAtMost) return;
      var row = m.row || reveal(m.d, m.path);
      openTo(row);
      row.classList.add('hit');
      hits.push(row);
    });
    found.textContent = matches.length === 0 ? 'Not found'
      : matches.length + (matches.length === 1 ? ' found' : ' found') + (matches.length > kOpenAtMost ? ', the first ' + kOpenAtMost + ' shown' : '');
    if (hits.length) hits[0].scrollIntoView({block: 'center'});
  }
  var timer = 0;
  q.addEventListener('input', function () { clearTimeout(timer); timer = setTimeout(search, 150); });
  q.addEventListener('keydown', function (e) {
    if (e.key === 'Enter') {
      clearTimeout(timer);
      if (q.value !== searched) search();
      if (hits.length) { current = (current + 1) % hits.length; hits[current].focus(); }
      e.preventDefault();
    }
  });

  function visibleRows() {
    return Array.prototype.filter.call(tree.querySelectorAll('.r'), function (r) { return r.checkVisibility(); });
  }
  tree.addEventListener('keydown', function (e) {
    var row = e.target;
    if (!row.classList || !row.classList.contains('r')) return;
    var d = row.tagName === 'SUMMARY' ? row.parentNode : null;
    var rows, i;
    switch (e.key) {
    case 'ArrowDown': case 'ArrowUp':
      rows = visibleRows();
      i = rows.indexOf(row) + (e.key === 'ArrowDown' ? 1 : -1);
      if (i >= 0 && i < rows.length) rows[i].focus();
      break;
    case 'Home': case 'End':
      rows = visibleRows();
      if (rows.length) rows[e.key === 'Home' ? 0 : rows.length - 1].focus();
      break;
    case 'ArrowRight':
      if (d && !d.open) { d.open = true; ensureDrawn(d); }
      else if (d) { rows = visibleRows(); i = rows.indexOf(row); if (rows[i + 1] && d.contains(rows[i + 1])) rows[i + 1].focus(); }
      break;
    case 'ArrowLeft':
      if (d && d.open) { d.open = false; }
      else {
        var up = (d || row).parentElement.closest('details');
        if (up) up.firstElementChild.focus();
      }
      break;
    case 'Enter': case ' ':
      if (d) { d.open = !d.open; if (d.open) ensureDrawn(d); } else { return; }
      break;
    default:
      return;
    }
    e.preventDefault();
  });
})();
