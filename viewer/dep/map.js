// The map pages' shared script: a Leaflet map with the track of the recording that plays,
// vehicle marks and search results. The viewer calls the global functions at the end with text
// arguments; the page answers by navigating to "app:" addresses, which the viewer cancels and
// reads. Names and plates are always written as text, never as markup.
(function () {
  'use strict';

  var SEGMENT_GAP_SECONDS = 10;  // a longer jump (or any step back) is a seek: no line across
  var DEFAULT_MAX_ZOOM = 19;
  var MAX_ZOOM_LIMIT = 22;
  var FOLLOW_ZOOM = 15;          // zoom taken for the first point of a track
  var TRACK_COLOUR = '#00d8ff';
  var NOTICE_SECONDS = 8;
  var STATUS_COLOURS = {
    offline: '#8a939b',
    online: '#3ddc84',
    connect: '#00d8ff',
    warning: '#ffb020'
  };

  var map = null;
  var trackLayer = null;
  var markLayer = null;
  var searchLayer = null;
  var positionMark = null;
  var offlineNote = null;
  var noticeBox = null;
  var noticeTimer = 0;
  var track = [];          // {plate, time, lat, lon}
  var segments = [];       // {first, last, line}: index range into track and its polyline
  var marks = new Map();   // key name + "\n" + address -> {status, address, name, lat, lon, mark}
  var results = new Map(); // quick index record -> {record, text, lat, lon, mark}
  var tiles = 'offline';

  // ---- talking to the viewer -------------------------------------------------------------

  // Each request goes in a frame of its own, so two close together never cancel each other
  // and the page itself never starts to navigate away.
  function send(address) {
    var frame = document.createElement('iframe');
    frame.hidden = true;
    frame.src = address;
    document.body.appendChild(frame);
    setTimeout(function () { frame.remove(); }, 2000);
  }

  // ---- texts the viewer passes -----------------------------------------------------------

  function text(value) {
    return value === undefined || value === null ? '' : String(value);
  }

  // A decimal coordinate within +-limit; null for anything else.
  function coordinate(value, limit) {
    var t = text(value).trim();
    if (!/^[+-]?(\d+\.?\d*|\.\d+)$/.test(t)) return null;
    var n = Number(t);
    return isFinite(n) && Math.abs(n) <= limit ? n : null;
  }

  // Seconds since 1970 as the viewer writes them ("%u"); null for anything else.
  function seconds(value) {
    var t = text(value).trim();
    if (!/^\d{1,10}$/.test(t)) return null;
    var n = Number(t);
    return n <= 4294967295 ? n : null;
  }

  function labelled(content) {
    var span = document.createElement('span');
    span.textContent = content;
    return span;
  }

  function escapeMarkup(value) {
    var holder = document.createElement('div');
    holder.textContent = value;
    return holder.innerHTML;
  }

  // ---- map, tiles and the offline state --------------------------------------------------

  // Dark tiles with a line along two edges: drawn here, so the map keeps a grid that moves
  // and zooms with it when no tile server answers.
  var GridLayer = L.GridLayer.extend({
    createTile: function (coords) {
      var tile = document.createElement('canvas');
      var size = this.getTileSize();
      tile.width = size.x;
      tile.height = size.y;
      var g = tile.getContext('2d');
      g.fillStyle = '#1c1f22';
      g.fillRect(0, 0, size.x, size.y);
      g.strokeStyle = 'rgba(255, 255, 255, 0.07)';
      g.lineWidth = 1;
      g.beginPath();
      for (var step = 0; step < size.x; step += size.x / 4) {
        g.moveTo(step + 0.5, 0);
        g.lineTo(step + 0.5, size.y);
        g.moveTo(0, step + 0.5);
        g.lineTo(size.x, step + 0.5);
      }
      g.stroke();
      g.strokeStyle = 'rgba(255, 255, 255, 0.14)';
      g.strokeRect(0.5, 0.5, size.x, size.y);
      return tile;
    }
  });

  function setTiles(online) {
    tiles = online ? 'online' : 'offline';
    offlineNote.hidden = online;
  }

  function tileSettings(tileKey) {
    var query = new URLSearchParams(location.search);
    var zoom = parseInt(query.get('maxzoom'), 10);
    return {
      url: query.get(tileKey) || '',
      attribution: query.get('attribution') || '',
      maxZoom: zoom >= 1 && zoom <= MAX_ZOOM_LIMIT ? zoom : DEFAULT_MAX_ZOOM
    };
  }

  function addTiles(settings) {
    new GridLayer({ maxZoom: settings.maxZoom }).addTo(map);
    if (!settings.url) {
      setTiles(false);
      return;
    }
    var layer = L.tileLayer(settings.url, {
      maxZoom: settings.maxZoom,
      attribution: escapeMarkup(settings.attribution)
    });
    layer.on('tileload', function () { setTiles(true); });
    layer.on('tileerror', function () { setTiles(false); });
    layer.addTo(map);
  }

  function start(options) {
    var settings = tileSettings(options.tileKey);
    map = L.map('map', {
      center: options.center,
      zoom: options.zoom,
      maxZoom: settings.maxZoom,
      worldCopyJump: true,
      renderer: L.canvas({ tolerance: 6 })
    });
    map.attributionControl.setPrefix(false);  // its link would lead the page away
    L.control.scale().addTo(map);
    offlineNote = document.getElementById('offline');
    noticeBox = document.getElementById('notice');
    addTiles(settings);
    trackLayer = L.layerGroup().addTo(map);
    markLayer = L.layerGroup().addTo(map);
    searchLayer = L.layerGroup().addTo(map);
    var container = map.getContainer();
    container.addEventListener('pointerdown', function () { send('app:GetFocus&'); }, true);
    window.addEventListener('focus', function () { send('app:GetFocus&'); });
  }

  // ---- the track -------------------------------------------------------------------------

  function nearestTrackTime(segment, latlng) {
    var clicked = map.latLngToLayerPoint(latlng);
    var best = segment.first;
    var bestDistance = Infinity;
    for (var i = segment.first; i <= segment.last; ++i) {
      var p = map.latLngToLayerPoint([track[i].lat, track[i].lon]);
      var distance = p.distanceTo(clicked);
      if (distance < bestDistance) {
        bestDistance = distance;
        best = i;
      }
    }
    return track[best].time;
  }

  function startSegment(index) {
    var segment = { first: index, last: index, line: null };
    segment.line = L.polyline([], { color: TRACK_COLOUR, weight: 4, opacity: 0.9 });
    segment.line.on('click', function (e) {
      send('app:nomal&' + nearestTrackTime(segment, e.latlng));
    });
    segment.line.addTo(trackLayer);
    segments.push(segment);
    return segment;
  }

  function showPosition(point) {
    var latlng = [point.lat, point.lon];
    if (!positionMark) {
      positionMark = L.circleMarker(latlng, {
        radius: 7, color: '#ffffff', weight: 2, fillColor: TRACK_COLOUR, fillOpacity: 1
      });
      positionMark.bindTooltip(labelled(''), { permanent: true, direction: 'right' });
      positionMark.on('click', function () { send('app:nomal&' + positionMark.time); });
      positionMark.addTo(trackLayer);
    }
    positionMark.time = point.time;
    positionMark.setLatLng(latlng);
    positionMark.getTooltip().setContent(labelled(point.plate));
    positionMark.bringToFront();
    if (track.length === 1) {
      map.setView(latlng, Math.max(map.getZoom(), Math.min(FOLLOW_ZOOM, map.getMaxZoom())));
    } else if (!map.getBounds().pad(-0.1).contains(latlng)) {
      map.panTo(latlng);
    }
  }

  function addTrackPoint(plate, time, lat, lon) {
    var point = {
      plate: text(plate),
      time: seconds(time),
      lat: coordinate(lat, 90),
      lon: coordinate(lon, 180)
    };
    if (point.time === null || point.lat === null || point.lon === null) return;
    var previous = track.length > 0 ? track[track.length - 1] : null;
    var index = track.length;
    track.push(point);
    var segment = segments.length > 0 ? segments[segments.length - 1] : null;
    if (!previous || point.time < previous.time ||
        point.time - previous.time > SEGMENT_GAP_SECONDS) {
      segment = startSegment(index);
    }
    segment.last = index;
    segment.line.addLatLng([point.lat, point.lon]);
    showPosition(point);
  }

  function clearTrack() {
    trackLayer.clearLayers();
    track = [];
    segments = [];
    positionMark = null;
  }

  // ---- vehicle marks and search results ----------------------------------------------------

  function markKey(name, address) {
    return text(name) + '\n' + text(address);
  }

  function modifyMark(status, address, name, lat, lon) {
    var key = markKey(name, address);
    var entry = marks.get(key);
    if (entry && entry.mark) markLayer.removeLayer(entry.mark);
    entry = {
      status: text(status),
      address: text(address),
      name: text(name),
      lat: coordinate(lat, 90),
      lon: coordinate(lon, 180),
      mark: null
    };
    marks.set(key, entry);
    if (entry.lat === null || entry.lon === null) return;  // known, but nowhere to draw
    var colour = STATUS_COLOURS[entry.status] || STATUS_COLOURS.offline;
    entry.mark = L.circleMarker([entry.lat, entry.lon], {
      radius: 8, color: '#101214', weight: 2, fillColor: colour, fillOpacity: 0.95
    });
    entry.mark.bindTooltip(labelled(entry.name), { permanent: true, direction: 'top' });
    entry.mark.addTo(markLayer);
  }

  function findAndPan(name, address) {
    var entry = marks.get(markKey(name, address));
    if (!entry || !entry.mark) return;
    map.panTo(entry.mark.getLatLng());
    entry.mark.bringToFront();
  }

  function deleteMark(name, address) {
    var key = markKey(name, address);
    var entry = marks.get(key);
    if (!entry) return;
    if (entry.mark) markLayer.removeLayer(entry.mark);
    marks.delete(key);
  }

  function clearMarks() {
    markLayer.clearLayers();
    searchLayer.clearLayers();
    marks.clear();
    results.clear();
  }

  function addSearchResult(record, lat, lon, label) {
    var number = seconds(record);
    var latitude = coordinate(lat, 90);
    var longitude = coordinate(lon, 180);
    if (number === null || latitude === null || longitude === null) return;
    var old = results.get(number);
    if (old) searchLayer.removeLayer(old.mark);
    var entry = { record: number, text: text(label), lat: latitude, lon: longitude, mark: null };
    entry.mark = L.circleMarker([latitude, longitude], {
      radius: 6, color: '#ffffff', weight: 1, fillColor: '#ff5d8f', fillOpacity: 0.95
    });
    if (entry.text) entry.mark.bindTooltip(labelled(entry.text), { direction: 'top' });
    entry.mark.on('click', function () { send('app:search&' + entry.record); });
    entry.mark.addTo(searchLayer);
    results.set(number, entry);
  }

  // ---- notices -----------------------------------------------------------------------------

  function showNotice(texts) {
    noticeBox.replaceChildren();
    texts.forEach(function (line) {
      var row = document.createElement('div');
      row.textContent = line;
      noticeBox.appendChild(row);
    });
    noticeBox.hidden = false;
    clearTimeout(noticeTimer);
    noticeTimer = setTimeout(function () { noticeBox.hidden = true; }, NOTICE_SECONDS * 1000);
  }

  // ---- what the viewer reads back ----------------------------------------------------------

  function state() {
    return JSON.stringify({
      track: track.map(function (p) {
        return { plate: p.plate, time: p.time, lat: p.lat, lon: p.lon };
      }),
      segments: segments.map(function (s) { return [s.first, s.last]; }),
      marks: Array.from(marks.values()).map(function (m) {
        return { status: m.status, address: m.address, name: m.name, lat: m.lat, lon: m.lon };
      }),
      search: Array.from(results.values()).map(function (r) {
        return { record: r.record, text: r.text, lat: r.lat, lon: r.lon };
      }),
      tiles: tiles
    });
  }

  // ---- the functions the viewer calls ------------------------------------------------------

  window.VelmoraMap = { start: start, map: function () { return map; } };

  window.ClearAll_N = clearTrack;
  window.AddGLatLng_N = addTrackPoint;
  window.ClearAll_O = clearMarks;
  window.ModifyMark_O = modifyMark;
  window.FindAndPanto_O = findAndPan;
  window.DelMark_O = deleteMark;
  window.AddSearchMark_O = addSearchResult;
  window.MapState_N = state;
  // A push is shown on the map; the viewer hears 200 when there was something to show.
  window.GCMPush_O = function () {
    var texts = Array.prototype.map.call(arguments, text);
    if (texts.length > 0) showNotice(texts);
    send('app:GCMresponse&' + (texts.length > 0 ? 200 : 400));
  };
})();
