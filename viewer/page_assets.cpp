#include "viewer/page_assets.h"

namespace viewer {

const std::string_view page_style = R"css(
body{font:13px/1.35 sans-serif;margin:16px;color:#222;background:#fff;min-width:1360px}
h1{font-size:18px;margin:0 0 8px}
.note{padding:12px;border:1px dashed #999;color:#555;width:1160px}
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
svg.axis text{font-size:10px;fill:#555;text-anchor:middle}
svg.axis path{stroke:#555}
svg.lane text{font-size:10px;fill:#333}
[data-kind=station-area]{fill:#bbdefb;stroke:#1f5fbf;stroke-width:.5;vector-effect:non-scaling-stroke}
[data-kind=station]{fill:#1f5fbf}
[data-kind=station] text{fill:#1f5fbf!important}
[data-kind=signal]{fill:#c62828;stroke:#c62828;stroke-width:1.5}
[data-kind=speed-boards]{fill:#fff;stroke:#000}
[data-kind=slowdown]{fill:#ffe082}
[data-kind=slowdown-warning]{fill:#ffb300;stroke:#6d4c00}
[data-kind=slowdown-start],[data-kind=slowdown-end]{fill:#ffb300;stroke:#6d4c00;stroke-width:1.5}
[data-kind=slowdown-approach]{fill:#6d4c00}
[data-kind=code-cut]{fill:#fff;stroke:#2e7d32;stroke-width:1.5}
[data-kind=protection]{fill:#2e7d32;stroke:#2e7d32}
[data-kind=sign]{fill:#fff;stroke:#6a1b9a}
[data-kind=sign] text{fill:#6a1b9a!important}
[data-kind=unknown]{fill:#000}
[data-kind=tunnel]{fill-opacity:.55;stroke:none}
[data-tip]:hover{opacity:.75}
#tip{position:fixed;display:none;max-width:520px;background:#263238;color:#fff;padding:4px 7px;border-radius:3px;font-size:12px;pointer-events:none;z-index:5}
#controls{margin:8px 0 4px 138px}
#controls button{margin-right:4px}
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

const std::string_view marker_shapes = R"svg(<svg width="0" height="0" style="position:absolute" aria-hidden="true"><defs>
<g id="m-station"><path d="M-6 -8h12l-6 10z"/></g>
<g id="m-signal"><path d="M0 -8v16"/><circle cy="-8" r="4"/></g>
<g id="m-speed-boards"><rect x="-4" y="-6" width="8" height="12"/></g>
<g id="m-slowdown-warning"><path d="M0 -7l7 12h-14z"/></g>
<g id="m-slowdown-start"><path d="M0 -9v18M0 -9h7v6h-7z"/></g>
<g id="m-slowdown-end"><path d="M0 -9v18M0 -9h-7v6h7z"/></g>
<g id="m-slowdown-approach"><circle r="2"/></g>
<g id="m-code-cut"><path d="M0 -6l6 6l-6 6l-6 -6z"/></g>
<g id="m-protection"><path d="M0 -6l6 6l-6 6l-6 -6z"/></g>
<g id="m-sign"><rect x="-4" y="-6" width="8" height="12"/></g>
<g id="m-unknown"><circle r="3"/></g>
</defs></svg>
)svg";

const std::string_view page_script = R"js(
(function(){
  'use strict';
  var data=JSON.parse(document.getElementById('profile-data').textContent);
  var W=data.width, L=data.length, CELL=50;
  var kindNames={1:'signal',2:'slowdown end',3:'slowdown start',4:'slowdown warning',
    5:'ahead of the slowdown warning',6:'speed boards',10:'station stop',11:'tunnel marker',
    12:'code cut',13:'code cut without a code',14:'line sign'};
  var strips=Array.prototype.slice.call(document.querySelectorAll('svg.strip'));
  var scaled=document.querySelectorAll('svg.strip g.scaled');
  var pinned=document.querySelectorAll('svg.strip g.pinned > *');
  var axis=document.querySelector('svg.axis');
  var tip=document.getElementById('tip');
  var k=1, off=0, maxK=Math.max(4, L/300);
  var NS='http://www.w3.org/2000/svg';

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
  function metresAt(x){return (x+off)/k*L/W;}
  function step(span){
    var steps=[0.05,0.1,0.2,0.5,1,2,5,10,20,50,100,200,500];
    for(var i=0;i<steps.length;i++) if(span/1000/steps[i]<=14) return steps[i]*1000;
    return 1000000;
  }
  function drawAxis(){
    var m0=metresAt(0), m1=metresAt(W), s=step(m1-m0), parts=[];
    for(var m=Math.ceil(m0/s)*s;m<=m1;m+=s){
      var x=(m*W/L)*k-off;
      parts.push('<path d="M'+x.toFixed(1)+' 0v7"/><text x="'+x.toFixed(1)+'" y="20">'+
        (+(m/1000).toFixed(2))+'</text>');
    }
    axis.innerHTML=parts.join('');
  }
  function apply(){
    off=Math.max(0,Math.min(off,W*(k-1)));
    var t='translate('+(-off)+',0) scale('+k+',1)';
    for(var i=0;i<scaled.length;i++) scaled[i].setAttribute('transform',t);
    for(var j=0;j<pinned.length;j++){
      var x=+pinned[j].getAttribute('data-x');
      pinned[j].setAttribute('transform','translate('+(x*(k-1)-off)+',0)');
    }
    drawAxis();
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
    var t=valueAt(data.t,c); if(t) text+=' · tunnel type '+t;
    var kind=exactAt(data.k,c); if(kind) text+=' · '+(kindNames[kind]||('kind '+kind));
    var mark=exactAt(data.m,c); if(mark) text+=' · approach mark '+mark;
    return text;
  }
  var cursors=strips.map(function(svg){
    var line=document.createElementNS(NS,'line');
    line.setAttribute('class','cursor'); line.setAttribute('y1','0');
    line.setAttribute('y2',svg.getAttribute('height')); line.style.display='none';
    svg.appendChild(line); return line;
  });
  function showTip(text,ev){
    if(!text){tip.style.display='none';return;}
    tip.textContent=text; tip.style.display='block';
    tip.style.left=Math.min(ev.clientX+14,window.innerWidth-540)+'px';
    tip.style.top=(ev.clientY+16)+'px';
  }
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
  document.getElementById('zoom-reset').addEventListener('click',function(){k=1;off=0;apply();});

  // The plan zooms and pans on its own, through its view box.
  var plan=document.getElementById('plan-view');
  if(plan){
    var box=plan.getAttribute('viewBox').split(' ').map(Number), full=box.slice(), planDrag=null;
    function setBox(){plan.setAttribute('viewBox',box.map(function(v){return v.toFixed(2);}).join(' '));}
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
  apply();

  // What the page holds, for whoever checks it without looking.
  var body=document.body;
  function count(kind){return document.querySelectorAll('[data-kind="'+kind+'"]').length;}
  body.setAttribute('data-station-count',count('station'));
  body.setAttribute('data-signal-count',count('signal'));
  body.setAttribute('data-slowdown-count',count('slowdown'));
  body.setAttribute('data-ready','1');
})();
)js";

}  // namespace viewer
