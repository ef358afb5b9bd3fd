#include "viewer/page_assets.h"

#include <array>
#include <string>

namespace viewer {

const std::string_view page_style = R"css(
body{font:13px/1.35 sans-serif;margin:16px;color:#222;background:#fff;min-width:1360px}
h1{font-size:18px;margin:0 0 8px}
h2{font-size:14px;margin:0}
.note{padding:12px;border:1px dashed #999;color:#555;width:1160px}
#banner{background:#fff3e0;border:1px solid #e65100;color:#bf360c;padding:6px 10px;font-weight:bold;width:1160px;margin:0 0 8px}
#diagnostics{width:1320px;margin:0 0 10px;border:1px solid #e0c0c0;padding:6px 10px;background:#fffafa}
#diagnostics ol{margin:4px 0 0;padding-left:28px;max-height:260px;overflow:auto}
#diagnostics li.error{color:#b71c1c}
#diagnostics li.warning{color:#7a5a00}
#diagnostics a{color:inherit;font-weight:bold}
#diagnostics pre{margin:0 0 3px;color:#555;font-size:12px;white-space:pre-wrap}
#diagnostics.failed{position:sticky;top:0;z-index:4;box-shadow:0 2px 6px rgba(0,0,0,.25)}
#diagnostics.failed ol{max-height:min(260px,30vh)}
#diagnostics li.chosen,#diagnostics li:target{background:#ffebee;outline:1px solid #b71c1c}
#drawing.earlier>:not(#strips),#drawing.earlier .strip-row:not(.faults){filter:grayscale(1);opacity:.45}
[data-kind=fault]{cursor:pointer}
[data-kind=fault] path{fill:#fff;fill-opacity:.7;stroke:#d50000;stroke-width:2}
[data-kind=fault] text{fill:#d50000!important}
[data-kind=fault].chosen path{fill:#ffcdd2;fill-opacity:1}
.strip-row.faults .strip-name{color:#b71c1c}
#plan-view{border:1px solid #ccc;background:#fbfbf7;cursor:grab}
#plan-view .track{fill:none;stroke:#333;stroke-width:1.5;vector-effect:non-scaling-stroke}
#plan-view [data-kind=plan-tunnel]{fill:none;stroke-width:5;stroke-opacity:.55;vector-effect:non-scaling-stroke}
#plan-view .km path{stroke:#777;vector-effect:non-scaling-stroke}
#plan-view .km text{font-size:10px;fill:#777}
#plan-view [data-kind=plan-station] circle{fill:#1f5fbf;stroke:#fff}
#plan-view [data-kind=plan-station] text{font-size:11px;fill:#1f5fbf}
.t1{stroke:#8d6e63;fill:#8d6e63}.t2{stroke:#5d4037;fill:#5d4037}.t3{stroke:#c62828;fill:#c62828}
.strip-row{display:flex;align-items:center;margin:2px 0}
.strip-name{width:130px;text-align:right;padding-right:8px;color:#444}
.strip-name small{color:#888}
svg.strip{border:1px solid #ddd;background:#fff;cursor:crosshair}
svg.strip .profile{fill:none;stroke:#1565c0;stroke-width:1.5;vector-effect:non-scaling-stroke}
svg.strip .zero{stroke:#bbb;stroke-dasharray:3 3;vector-effect:non-scaling-stroke}
svg.strip .cursor{stroke:#e65100;stroke-width:1;pointer-events:none}
svg.strip .focus{stroke:#6a1b9a;stroke-width:2;stroke-dasharray:5 3;pointer-events:none}
svg.axis text{font-size:10px;fill:#555}
svg.axis text:not([text-anchor]){text-anchor:middle}
svg.axis path{stroke:#555}
svg.lane text{font-size:10px;fill:#333}
[data-kind=station-area],[data-legend=station-area]{fill:#bbdefb;stroke:#1f5fbf;stroke-width:.5;vector-effect:non-scaling-stroke}
[data-kind=station],[data-legend=station]{fill:#1f5fbf}
[data-kind=station] text{fill:#1f5fbf!important}
[data-kind=signal],[data-legend=signal]{fill:#c62828;stroke:#c62828;stroke-width:1.5}
[data-kind=speed-boards],[data-legend=speed-boards]{fill:#fff176;stroke:#212121}
[data-kind=speed-boards] text{fill:#212121!important;stroke:none}
[data-kind=slowdown],[data-legend=slowdown]{fill:#ffe082}
[data-kind=slowdown-warning],[data-legend=slowdown-warning]{fill:#ffb300;stroke:#6d4c00}
[data-kind=slowdown-warning] text{fill:#6d4c00!important;stroke:none}
[data-kind=slowdown-start],[data-kind=slowdown-end],[data-legend=slowdown-start],[data-legend=slowdown-end]{fill:#ffb300;stroke:#6d4c00;stroke-width:1.5}
[data-kind=slowdown-approach],[data-legend=slowdown-approach]{fill:#6d4c00}
[data-kind=code-cut],[data-legend=code-cut]{fill:#fff;stroke:#2e7d32;stroke-width:1.5}
[data-kind=code-cut] text{fill:#2e7d32!important;stroke:none}
[data-kind=protection],[data-legend=protection]{fill:#2e7d32;stroke:#2e7d32}
[data-kind=sign],[data-legend=sign]{fill:#e1bee7;stroke:#6a1b9a}
[data-kind=sign] text{fill:#6a1b9a!important;stroke:none}
[data-kind=unknown],[data-legend=unknown]{fill:#000}
[data-kind=tunnel]{fill-opacity:.55;stroke:none}
[data-legend=t1],[data-legend=t2],[data-legend=t3]{fill-opacity:.55;stroke:none}
[data-kind=curve-right],[data-legend=curve-right]{fill:#ef6c00;stroke:#ef6c00;stroke-width:.5;vector-effect:non-scaling-stroke}
[data-kind=curve-left],[data-legend=curve-left]{fill:#00838f;stroke:#00838f;stroke-width:.5;vector-effect:non-scaling-stroke}
[data-tip]:hover{opacity:.75}
#tip{position:fixed;display:none;max-width:520px;background:#263238;color:#fff;padding:4px 7px;border-radius:3px;font-size:12px;pointer-events:none;z-index:5}
#controls{margin:8px 0 4px 138px;display:flex;align-items:center;gap:4px;flex-wrap:wrap}
#jump{display:inline-flex;gap:2px;margin:0 10px}
#jump-note{color:#b71c1c;margin-left:4px}
#legend{margin:2px 0 6px 138px;display:flex;flex-wrap:wrap;gap:2px 14px;color:#444;font-size:12px}
#legend span{display:inline-flex;align-items:center;gap:2px}
#tables{display:flex;gap:24px;margin-top:16px;align-items:flex-start}
table{border-collapse:collapse}
caption{text-align:left;font-weight:bold;padding-bottom:4px}
td,th{border:1px solid #ddd;padding:2px 6px;text-align:left;vertical-align:top}
#station-table td:nth-child(n+3){text-align:right}
#script-error{display:none;background:#b71c1c;color:#fff;padding:6px}
)css";

const std::string_view page_error_catcher = R"js(
(function(){
  function mark(text){
    var root=document.documentElement;
    root.setAttribute('data-script-error',(root.getAttribute('data-script-error')||'')+text+'; ');
    var box=document.getElementById('script-error');
    if(box){box.style.display='block';box.textContent='Script error: '+root.getAttribute('data-script-error');}
  }
  window.addEventListener('error',function(e){mark(e.message||'error');});
  window.addEventListener('unhandledrejection',function(e){mark(String(e.reason));});
  var original=console.error;
  console.error=function(){mark(Array.prototype.join.call(arguments,' '));return original.apply(console,arguments);};
})();
)js";

namespace {

struct marker_shape {
  std::string_view kind;
  std::string_view path;
  // The room the outline takes around its point, a pixel of stroke included.
  layout_box room;
};

// Every marker is a shape of its own: none is a character of a font, which
// a reader's fonts may lack, and none is a bare square, which reads as one.
// Each is one path, its posts and bands lines within it, so that a long
// line's thousands of markers are plain elements rather than copies of a
// definition.
constexpr std::array<marker_shape, 12> shapes = {{
    {"station", "m-6 -8h12l-6 10z", {-7, -9, 7, 3}},
    {"signal", "m0 -4v12m4 -16a4 4 0 1 0 -8 0a4 4 0 1 0 8 0z", {-5, -13, 5, 9}},
    {"speed-boards", "m0 -3v11m-5 -19h10v8h-10zm0 4h10", {-6, -12, 6, 9}},
    {"slowdown-warning", "m0 -7l7 12h-14z", {-8, -8, 8, 6}},
    {"slowdown-start", "m0 -9v18m0 -18h7v6h-7z", {-1, -10, 8, 10}},
    {"slowdown-end", "m0 -9v18m0 -18h-7v6h7z", {-8, -10, 1, 10}},
    {"slowdown-approach", "m2 0a2 2 0 1 0 -4 0a2 2 0 1 0 4 0z", {-3, -3, 3, 3}},
    {"code-cut", "m0 -6l6 6l-6 6l-6 -6z", {-7, -7, 7, 7}},
    {"protection", "m0 -6l6 6l-6 6l-6 -6z", {-7, -7, 7, 7}},
    {"sign", "m0 -3v11m-6 -19h12v8h-12zl12 8", {-7, -12, 7, 9}},
    {"fault", "m-5 -8h10v16h-10zm5 3v6", {-6, -9, 6, 9}},
    {"unknown", "m3 0a3 3 0 1 0 -6 0a3 3 0 1 0 6 0z", {-4, -4, 4, 4}},
}};

const marker_shape& shape_of(std::string_view kind) {
  for (const marker_shape& m : shapes) {
    if (m.kind == kind) return m;
  }
  return shapes.back();
}

std::string defined_shapes() {
  std::string out =
      "<svg width=\"0\" height=\"0\" style=\"position:absolute\" aria-hidden=\"true\"><defs>\n";
  for (const marker_shape& m : shapes) {
    out += "<path id=\"m-";
    out += m.kind;
    out += "\" d=\"M0 0";
    out += m.path;
    out += "\"/>\n";
  }
  return out + "</defs></svg>\n";
}

}  // namespace

std::string_view marker_path(std::string_view kind) { return shape_of(kind).path; }

layout_box marker_room(std::string_view kind) { return shape_of(kind).room; }

const std::string marker_shapes = defined_shapes();

const std::string_view page_script = R"js(
(function(){
  'use strict';
  var body=document.body, NS='http://www.w3.org/2000/svg';
  // Where the reader was on the page before it was reloaded with a new build.
  var saved=null;
  try{saved=JSON.parse(sessionStorage.getItem('route-view')||'null');}catch(e){saved=null;}
  var tip=document.getElementById('tip');
  function showTip(text,ev){
    if(!text){tip.style.display='none';return;}
    tip.textContent=text; tip.style.display='block';
    tip.style.left=Math.min(ev.clientX+14,window.innerWidth-540)+'px';
    tip.style.top=(ev.clientY+16)+'px';
  }
  function finish(){
    if(saved&&typeof saved.y==='number') window.scrollTo(saved.x||0,saved.y);
    // What the page holds, for whoever checks it without looking.
    function count(kind){return document.querySelectorAll('[data-kind="'+kind+'"]').length;}
    body.setAttribute('data-station-count',count('station'));
    body.setAttribute('data-signal-count',count('signal'));
    body.setAttribute('data-slowdown-count',count('slowdown'));
    body.setAttribute('data-ready','1');
  }
  var dataNode=document.getElementById('profile-data');
  if(!dataNode){
    // Nothing drawn: the place the reader had is kept for the next drawing.
    window.routeViewState=function(){var s=saved||{};s.x=window.scrollX;s.y=window.scrollY;return s;};
    finish();
    return;
  }
  var data=JSON.parse(dataNode.textContent);
  var W=data.width, L=data.length, CELL=50;
  var kindNames={1:'signal',2:'slowdown end',3:'slowdown start',4:'slowdown warning',
    5:'ahead of the slowdown warning',6:'speed boards',10:'station stop',11:'tunnel marker',
    12:'code cut',13:'code cut without a code',14:'line sign'};
  var strips=Array.prototype.slice.call(document.querySelectorAll('svg.strip'));
  var scaled=document.querySelectorAll('svg.strip g.scaled');
  var pinned=document.querySelectorAll('svg.strip g.pinned > *');
  var axis=document.querySelector('svg.axis');
  var k=1, off=0, maxK=Math.max(4, L/300), focus=null;
  if(saved&&saved.k>0){k=Math.max(1,Math.min(maxK,saved.k)); off=+saved.off||0;}

  // The elevation at the start of every gradient run, climbing from 0.
  var heights=[0];
  for(var i=0;i<data.g.length;i+=2){
    var end=i+2<data.g.length?data.g[i+2]:data.cells;
    heights.push(heights[heights.length-1]+(data.g[i+1]-100)*CELL/1000*(end-data.g[i]));
  }
  // The index of the last pair of a change list that starts at or before the cell.
  function find(list,cell){
    var lo=0, hi=list.length/2-1, at=-1;
    while(lo<=hi){var mid=(lo+hi)>>1; if(list[2*mid]<=cell){at=mid;lo=mid+1;}else hi=mid-1;}
    return at;
  }
  function valueAt(list,cell){var at=find(list,cell);return at<0?0:list[2*at+1];}
  function exactAt(list,cell){var at=find(list,cell);return at>=0&&list[2*at]===cell?list[2*at+1]:0;}
  // The curve at a metre: its first and last metre and its signed radius
  // (right positive); nothing on straight track.
  function curveAt(m){
    var c=data.c, lo=0, hi=c.length/3-1, at=-1;
    while(lo<=hi){var mid=(lo+hi)>>1; if(c[3*mid]<=m){at=mid;lo=mid+1;}else hi=mid-1;}
    return at>=0&&m<=c[3*at+1]?c.slice(3*at,3*at+3):null;
  }
  function metresAt(x){return (x+off)/k*L/W;}
  function xOf(m){return m*W/L*k-off;}
  function step(span){
    var steps=[0.05,0.1,0.2,0.5,1,2,5,10,20,50,100,200,500];
    for(var i=0;i<steps.length;i++) if(span/1000/steps[i]<=14) return steps[i]*1000;
    return 1000000;
  }
  function drawAxis(){
    var m0=metresAt(0), m1=metresAt(W), s=step(m1-m0), parts=[];
    for(var m=Math.ceil(m0/s)*s;m<=m1;m+=s){
      var x=(m*W/L)*k-off;
      // The kilometres at the ends stand inside the strip, not across its edge.
      var anchor=x<20?' text-anchor="start"':x>W-20?' text-anchor="end"':'';
      parts.push('<path d="M'+x.toFixed(1)+' 0v7"/><text x="'+x.toFixed(1)+'" y="20"'+anchor+'>'+
        (+(m/1000).toFixed(2))+'</text>');
    }
    axis.innerHTML=parts.join('');
  }

  // The labels of the lanes of markers. At full view each stands where the
  // page was written with it, unless this browser's font draws one wider than
  // the room it was given there; at any other view each takes the first of
  // its lanes where it covers no marker, meets no label already placed and
  // stays inside the strip: right of its marker, else left of it, else it is
  // hidden; in the order of their priority and then from the left.
  var GAP=3, MGAP=1, ASCENT=9.5, DESCENT=2.5;
  // The width of a label in its own font, measured on a canvas: asking each
  // label of a long line for its length lays the page out again each time.
  var pen=document.createElement('canvas').getContext('2d'), fonts={}, widths={};
  // The font of a label, the same for all labels of one kind.
  function fontOf(t){
    var kind=t.parentNode.getAttribute('data-kind')||t.parentNode.getAttribute('class')||'';
    if(!fonts[kind]){var style=getComputedStyle(t); fonts[kind]={font:style.font, size:parseFloat(style.fontSize)};}
    return fonts[kind];
  }
  function widthOf(t){
    var font=fontOf(t).font, key=font+'|'+t.textContent;
    if(!(key in widths)){pen.font=font; widths[key]=pen.measureText(t.textContent).width;}
    return widths[key];
  }
  var markerLanes=Array.prototype.map.call(document.querySelectorAll('svg.lane'),function(svg){
    var rooms=JSON.parse(svg.getAttribute('data-marker-rooms')||'{}'), markers=[], widest=0;
    Array.prototype.forEach.call(svg.querySelectorAll('g.pinned > [data-kind]'),function(m){
      var r=rooms[m.getAttribute('data-kind')];
      if(r){markers.push({x:+m.getAttribute('data-x'),r:r}); widest=Math.max(widest,r[2]-r[0]);}
    });
    markers.sort(function(a,b){return a.x-b.x;});
    var labels=Array.prototype.map.call(svg.querySelectorAll('text[data-lanes]'),function(t){
      return {t:t, x:+t.parentNode.getAttribute('data-x'), dx:+t.getAttribute('data-dx'),
        w:widthOf(t), lanes:t.getAttribute('data-lanes').split(' ').map(Number),
        p:+(t.getAttribute('data-priority')||0),
        first:[t.getAttribute('x'),t.getAttribute('y'),t.getAttribute('text-anchor'),t.style.display]};
    });
    labels.sort(function(a,b){return b.p-a.p||a.x-b.x;});
    var fits=labels.every(function(b){return b.w<=+b.t.getAttribute('data-w');});
    return {markers:markers, widest:widest, labels:labels, fits:fits};
  });
  // Whether a label's box, from l to r across, comes within MGAP of a marker.
  function coversMarker(lane,l,r,top,bottom){
    var ms=lane.markers, from=(l-lane.widest-MGAP+off)/k, lo=0, hi=ms.length;
    while(lo<hi){var mid=(lo+hi)>>1; if(ms[mid].x<from) lo=mid+1; else hi=mid;}
    for(var i=lo;i<ms.length;i++){
      var m=ms[i], x=m.x*k-off;
      if(x-lane.widest>r+MGAP) break;
      if(x+m.r[0]<r+MGAP&&l<x+m.r[2]+MGAP&&m.r[1]<bottom&&top<m.r[3]) return true;
    }
    return false;
  }
  // Where a span from l to r goes among the spans of a lane, kept in order,
  // or -1 when it comes within GAP of one of them.
  function room(spans,l,r){
    var lo=0, hi=spans.length;
    while(lo<hi){var mid=(lo+hi)>>1; if(spans[mid][0]<l) lo=mid+1; else hi=mid;}
    if(lo>0&&spans[lo-1][1]+GAP>l) return -1;
    if(lo<spans.length&&spans[lo][0]<r+GAP) return -1;
    return lo;
  }
  function setLabel(t,x,y,anchor,display){
    t.setAttribute('x',x); t.setAttribute('y',y); t.style.display=display||'';
    if(anchor) t.setAttribute('text-anchor',anchor); else t.removeAttribute('text-anchor');
  }
  function layoutLane(){
    markerLanes.forEach(function(lane){
      if(k===1&&off===0&&lane.fits){
        lane.labels.forEach(function(b){setLabel(b.t,b.first[0],b.first[1],b.first[2],b.first[3]);});
        return;
      }
      var spans={};
      lane.labels.forEach(function(b){
        var x=b.x*k-off, placed=null;
        for(var before=0;before<2&&!placed;before++){
          for(var j=0;j<b.lanes.length&&!placed;j++){
            var y=b.lanes[j], l=before?x-b.dx-b.w:x+b.dx, r=l+b.w;
            if(l<0||r>W||coversMarker(lane,l,r,y-ASCENT,y+DESCENT)) continue;
            var s=spans[y]||(spans[y]=[]), at=room(s,l,r);
            if(at>=0){s.splice(at,0,[l,r]); placed=[y,before];}
          }
        }
        if(!placed){b.t.style.display='none';return;}
        setLabel(b.t,placed[1]?b.x-b.dx:b.x+b.dx,placed[0],placed[1]?'end':'','');
      });
    });
  }

  function apply(){
    off=Math.max(0,Math.min(off,W*(k-1)));
    var t='translate('+(-off)+',0) scale('+k+',1)';
    for(var i=0;i<scaled.length;i++) scaled[i].setAttribute('transform',t);
    for(var j=0;j<pinned.length;j++){
      var x=+pinned[j].getAttribute('data-x');
      pinned[j].setAttribute('transform','translate('+(x*(k-1)-off)+',0)');
    }
    focusLines.forEach(function(f){
      if(focus===null){f.style.display='none';return;}
      var x=xOf(focus).toFixed(1); f.setAttribute('x1',x); f.setAttribute('x2',x); f.style.display='';
    });
    drawAxis();
    layoutLane();
  }
  function zoomAt(x,factor){
    var u=(x+off)/k;
    k=Math.max(1,Math.min(maxK,k*factor));
    off=u*k-x;
    apply();
  }
  function cellText(x){
    var m=metresAt(x), c=Math.floor(m/CELL);
    if(c<0||c>=data.cells) return '';
    var g=find(data.g,c), e=0, grad=0;
    if(g>=0){grad=data.g[2*g+1]-100; e=heights[g]+grad*CELL/1000*(c-data.g[2*g]);}
    var text='cell '+c+' · '+c*CELL+' to '+(c+1)*CELL+' m · elevation '+e.toFixed(1)+' m · gradient '+
      grad+' ‰ · speed '+valueAt(data.s,c)*5+' km/h · adhesion '+valueAt(data.a,c)+' %';
    var r=curveAt(m);
    if(r) text+=' · curve '+(r[2]>0?'right':'left')+', radius '+Math.abs(r[2])+' m, '+r[0]+' to '+r[1]+' m';
    var t=valueAt(data.t,c); if(t) text+=' · tunnel type '+t;
    var kind=exactAt(data.k,c); if(kind) text+=' · '+(kindNames[kind]||('kind '+kind));
    var mark=exactAt(data.m,c); if(mark) text+=' · approach mark '+mark;
    return text;
  }
  function line(svg,cls){
    var l=document.createElementNS(NS,'line');
    l.setAttribute('class',cls); l.setAttribute('y1','0');
    l.setAttribute('y2',svg.getAttribute('height')); l.style.display='none';
    svg.appendChild(l); return l;
  }
  var cursors=strips.map(function(svg){return line(svg,'cursor');});
  var focusLines=strips.map(function(svg){return line(svg,'focus');});
  var drag=null;
  strips.forEach(function(svg){
    svg.addEventListener('wheel',function(ev){ev.preventDefault();zoomAt(ev.offsetX,Math.exp(-ev.deltaY*0.002));},{passive:false});
    svg.addEventListener('mousedown',function(ev){drag={x:ev.clientX,off:off};ev.preventDefault();});
    svg.addEventListener('mouseleave',function(){cursors.forEach(function(c){c.style.display='none';});showTip('',null);});
    svg.addEventListener('mousemove',function(ev){
      cursors.forEach(function(c){c.setAttribute('x1',ev.offsetX);c.setAttribute('x2',ev.offsetX);c.style.display='';});
      var target=ev.target.closest&&ev.target.closest('[data-tip]');
      showTip(target?target.getAttribute('data-tip'):cellText(ev.offsetX),ev);
    });
  });
  window.addEventListener('mousemove',function(ev){
    if(drag){off=drag.off-(ev.clientX-drag.x);apply();}
  });
  window.addEventListener('mouseup',function(){drag=null;});
  document.getElementById('zoom-in').addEventListener('click',function(){zoomAt(W/2,2);});
  document.getElementById('zoom-out').addEventListener('click',function(){zoomAt(W/2,0.5);});
  document.getElementById('zoom-reset').addEventListener('click',function(){k=1;off=0;focus=null;apply();});

  // A station or a kilometre, centred on the strips with some 4 km around it.
  function jumpTo(m){
    focus=m;
    k=Math.max(1,Math.min(maxK,L/Math.min(L,4000)));
    off=m*W/L*k-W/2;
    apply();
    var area=document.getElementById('strips'), seen=area.getBoundingClientRect();
    if(seen.top<0||seen.bottom>window.innerHeight) area.scrollIntoView({block:'nearest'});
  }
  var stations=Array.prototype.map.call(document.querySelectorAll('svg.lane [data-kind=station]'),function(g){
    return {name:g.textContent.trim(), m:+g.getAttribute('data-metre')};
  });
  var names=document.getElementById('station-names');
  stations.forEach(function(s){var o=document.createElement('option'); o.value=s.name; names.appendChild(o);});
  // The metre a reader means: a station's name, whole or a part that only
  // one name holds, in any case; or kilometres, "12.5", "km 12,5", "12+500".
  function placeOf(text){
    var t=text.trim(), u=t.toUpperCase();
    if(!t) return null;
    var whole=stations.filter(function(s){return s.name.toUpperCase()===u;});
    if(whole.length) return whole[0].m;
    var part=stations.filter(function(s){return s.name.toUpperCase().indexOf(u)>=0;});
    if(part.length===1) return part[0].m;
    var km=/^(?:km\s*)?(\d+(?:[.,]\d*)?)(?:\s*\+\s*(\d{1,3}))?$/i.exec(t);
    return km?parseFloat(km[1].replace(',','.'))*1000+(km[2]?+km[2]:0):null;
  }
  document.getElementById('jump').addEventListener('submit',function(ev){
    ev.preventDefault();
    var m=placeOf(document.getElementById('jump-to').value), note=document.getElementById('jump-note');
    if(m===null){note.textContent='no station or kilometre of that name';return;}
    if(m<0||m>L){note.textContent='past the end of the line, at '+(L/1000).toFixed(3)+' km';return;}
    note.textContent='';
    jumpTo(m);
  });
  // An error's mark on the strips and its entry in the list show each other:
  // the entry is scrolled into its box, and both are highlighted.
  function choose(n){
    Array.prototype.forEach.call(document.querySelectorAll('.chosen'),function(e){e.classList.remove('chosen');});
    var li=document.getElementById('diagnostic-'+n), mark=document.getElementById('fault-'+n);
    if(li){li.classList.add('chosen'); li.parentNode.scrollTop=li.offsetTop-li.parentNode.offsetTop-4;}
    if(mark) mark.classList.add('chosen');
  }
  Array.prototype.forEach.call(document.querySelectorAll('#diagnostics a[data-metre]'),function(a){
    a.addEventListener('click',function(ev){
      ev.preventDefault();
      jumpTo(+a.getAttribute('data-metre'));
      var li=a.closest('li');
      if(li.hasAttribute('data-fault')) choose(li.id.replace('diagnostic-',''));
    });
  });
  Array.prototype.forEach.call(document.querySelectorAll('svg.faults [data-kind=fault]'),function(a){
    a.addEventListener('click',function(ev){ev.preventDefault();choose(a.getAttribute('data-diagnostic'));});
  });

  // The plan zooms and pans on its own, through its view box; its labels
  // keep their size on the screen.
  var plan=document.getElementById('plan-view'), box=null, full=null;
  if(plan){
    box=plan.getAttribute('viewBox').split(' ').map(Number); full=box.slice();
    var planDrag=null;
    // Each name takes the first of its places where it keeps clear of the
    // names placed before it, the ends of the line first, then the others,
    // then the kilometres; it is hidden when none is free.
    var planLabels=Array.prototype.map.call(plan.querySelectorAll('text[data-offsets]'),function(t){
      var o=t.getAttribute('data-offsets').split(' ').map(Number), places=[];
      for(var i=0;i+1<o.length;i+=2) places.push([o[i],o[i+1]]);
      return {t:t, px:+t.getAttribute('data-px'), py:+t.getAttribute('data-py'), places:places,
        w:widthOf(t), size:fontOf(t).size,
        p:+(t.getAttribute('data-priority')||0), flip:t.hasAttribute('data-priority')};
    });
    planLabels.sort(function(a,b){return b.p-a.p;});
    // The stations' dots keep their size on the screen, and no name covers one.
    var dots=Array.prototype.map.call(plan.querySelectorAll('[data-kind=plan-station] circle'),function(c){
      return {c:c, x:+c.getAttribute('cx'), y:+c.getAttribute('cy')};
    });
    var layoutPlan=function(){
      var s=box[2]/full[2], placed=dots.map(function(d){
        d.c.setAttribute('r',(4*s).toFixed(3));
        return [d.x-5*s,d.y-5*s,d.x+5*s,d.y+5*s];
      });
      planLabels.forEach(function(b){
        var w=b.w*s, shown=false;
        // A place wholly inside the view, or none: a name is never cut.
        for(var i=0;i<b.places.length&&!shown;i++){
          var dx=b.places[i][0]*s, dy=b.places[i][1]*s, x=b.px+dx, y=b.py+dy;
          var end=b.flip&&dx<0, r=[end?x-w:x, y-b.size*0.95*s, end?x:x+w, y+b.size*0.3*s];
          var inside=r[0]>=box[0]&&r[1]>=box[1]&&r[2]<=box[0]+box[2]&&r[3]<=box[1]+box[3];
          var clear=placed.every(function(q){return r[2]+s<=q[0]||q[2]+s<=r[0]||r[3]+s<=q[1]||q[3]+s<=r[1];});
          if(!clear||!inside) continue;
          placed.push(r); shown=true;
          b.t.setAttribute('x',x.toFixed(2)); b.t.setAttribute('y',y.toFixed(2));
          b.t.setAttribute('text-anchor',end?'end':'start');
          b.t.style.fontSize=(b.size*s).toFixed(3)+'px';
        }
        b.t.style.display=shown?'':'none';
      });
    };
    var setBox=function(){plan.setAttribute('viewBox',box.map(function(v){return v.toFixed(2);}).join(' '));layoutPlan();};
    if(saved&&saved.box&&saved.box.length===4&&saved.box[2]>0&&saved.box[2]<=full[2]) box=saved.box.map(Number);
    setBox();
    plan.addEventListener('wheel',function(ev){
      ev.preventDefault();
      var f=Math.exp(ev.deltaY*0.002), w=Math.min(full[2],Math.max(full[2]/2000,box[2]*f)), r=w/box[2];
      var ux=box[0]+ev.offsetX/full[2]*box[2], uy=box[1]+ev.offsetY/full[3]*box[3];
      box=[ux-(ux-box[0])*r,uy-(uy-box[1])*r,w,box[3]*r]; setBox();
    },{passive:false});
    plan.addEventListener('mousedown',function(ev){planDrag={x:ev.clientX,y:ev.clientY,b:box.slice()};ev.preventDefault();});
    window.addEventListener('mousemove',function(ev){
      if(!planDrag) return;
      var s=box[2]/full[2];
      box[0]=planDrag.b[0]-(ev.clientX-planDrag.x)*s; box[1]=planDrag.b[1]-(ev.clientY-planDrag.y)*s; setBox();
    });
    window.addEventListener('mouseup',function(){planDrag=null;});
    plan.addEventListener('dblclick',function(){box=full.slice();setBox();});
    plan.addEventListener('mousemove',function(ev){
      var target=ev.target.closest&&ev.target.closest('[data-tip]');
      showTip(target?target.getAttribute('data-tip'):'',ev);
    });
    plan.addEventListener('mouseleave',function(){showTip('',null);});
  }

  // The downloads: every cell of the grid with every field the grid file
  // holds, and the plan as a drawing of its own.
  var base=document.title.replace(/\s+/g,'_');
  function save(name,type,text){
    var url=URL.createObjectURL(new Blob([text],{type:type})), a=document.createElement('a');
    a.href=url; a.download=name; body.appendChild(a); a.click(); a.remove();
    setTimeout(function(){URL.revokeObjectURL(url);},10000);
  }
  function cellsCsv(){
    var objects={}, o=data.o, rows=['cell,metres,'+data.fields.join(',')];
    for(var i=0;i<o.length;i+=7) objects[o[i]]=o.slice(i+1,i+7);
    for(var c=0;c<data.grid;c++){
      var b=objects[c]||[0,0,0,0,0,0];
      var v={kind:b[0],param1:b[1],param2:b[2],param3:b[3],param4:b[4],signal_time:b[5],
        approach_mark:exactAt(data.m,c),mountain_type:valueAt(data.t,c),speed_limit:valueAt(data.s,c),
        gradient:valueAt(data.g,c),adhesion:valueAt(data.a,c)};
      rows.push(c+','+c*CELL+','+data.fields.map(function(f){return v[f];}).join(','));
    }
    return rows.join('\r\n')+'\r\n';
  }
  function planSvg(){
    var was=box; box=full.slice(); layoutPlan();
    var copy=plan.cloneNode(true), style=document.createElementNS(NS,'style'), rules=[];
    box=was; layoutPlan();
    Array.prototype.forEach.call(document.styleSheets[0].cssRules,function(rule){
      if(/#plan-view|^\.t\d/.test(rule.selectorText||'')) rules.push(rule.cssText);
    });
    style.textContent=rules.join('\n');
    copy.setAttribute('xmlns',NS); copy.setAttribute('viewBox',full.join(' '));
    copy.insertBefore(style,copy.firstChild);
    return '<?xml version="1.0" encoding="UTF-8"?>\n'+new XMLSerializer().serializeToString(copy)+'\n';
  }
  document.getElementById('save-cells').addEventListener('click',function(){save(base+'_cells.csv','text/csv',cellsCsv());});
  var savePlan=document.getElementById('save-plan');
  if(plan) savePlan.addEventListener('click',function(){save(base+'_plan.svg','image/svg+xml',planSvg());});
  else savePlan.disabled=true;

  window.routeViewState=function(){return {k:k,off:off,box:box,x:window.scrollX,y:window.scrollY};};
  apply();
  finish();
})();
)js";

// Listens to the server that gave the page: when it names a build other
// than the page's own, the page keeps the reader's place and reloads.
const std::string_view live_script = R"js(
(function(){
  'use strict';
  var build=document.body.getAttribute('data-build');
  var events=new EventSource('/events');
  events.addEventListener('build',function(ev){
    if(ev.data===build) return;
    events.close();
    try{sessionStorage.setItem('route-view',JSON.stringify(window.routeViewState()));}catch(e){}
    location.reload();
  });
})();
)js";

}  // namespace viewer
